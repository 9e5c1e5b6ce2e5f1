#pragma once
// The "Options" dialog: the one user-visible setting, automatic update checking.

#include <QDialog>

class QCheckBox;
class QPushButton;
class QTabWidget;
class TBottomLine;
class TSettingsStore;

class TOptionsForm : public QDialog {
    Q_OBJECT
public:
    explicit TOptionsForm(QWidget* owner = nullptr);

    QTabWidget* PageControl = nullptr;
    QWidget* AutoUpdateTabSheet = nullptr;
    QCheckBox* AutoUpdateCheckBox = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;
    // The footer with the maker's web address.
    TBottomLine* BottomLine = nullptr;

    static const QString MakerWebAddress;
};

// Shows the dialog modally over `owner`, starting from the stored permission. OK stores the
// check box as the permission and marks the question as answered; Cancel stores nothing.
// Returns whether OK was chosen.
bool ShowOptionsDialog(QWidget* owner = nullptr);
bool ShowOptionsDialog(TSettingsStore& store, QWidget* owner = nullptr);
