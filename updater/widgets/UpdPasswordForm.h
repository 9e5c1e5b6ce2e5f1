#pragma once
// Asks for the user name and password of a password-protected update file.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class TupdAutoUpdater;

class TupdAutoUpdaterPasswordForm : public QDialog {
public:
    TupdAutoUpdaterPasswordForm();
    void Prepare(TupdAutoUpdater& component, const QString& fileName);
    // OK: the edits become the component's credentials.
    void Store();

    QLabel* Label1 = nullptr;
    QLabel* Image1 = nullptr;
    QWidget* BottomPanel = nullptr;
    QLabel* UsernameLab = nullptr;
    QLineEdit* UsernameEdit = nullptr;
    QLabel* PasswordLab = nullptr;
    QLineEdit* PasswordEdit = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

private:
    TupdAutoUpdater* FComponent = nullptr;
};
