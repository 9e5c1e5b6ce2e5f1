#pragma once
// The question whether to update now or later, with the server's message in its middle line.

#include <QDialog>

class QLabel;
class QPushButton;
class QWidget;

class TupdAutoUpdaterUpgradeMessageForm : public QDialog {
public:
    TupdAutoUpdaterUpgradeMessageForm();
    // Fills the texts and sizes the window for them.
    void Prepare(const QString& message);

    QLabel* Label1 = nullptr;
    QLabel* Icon = nullptr;
    QWidget* BottomPanel = nullptr;
    QPushButton* YesBtn = nullptr;
    QPushButton* LaterBtn = nullptr;
};
