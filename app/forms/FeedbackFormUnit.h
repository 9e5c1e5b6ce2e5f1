#pragma once
// "Send Feedback": a problem report, feature request or suggestion, sent with or without the
// sender's name and address to the maker's feedback service.

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TBottomLine;
class TWhiteTop;

class TFeedbackForm : public QDialog {
    Q_OBJECT
public:
    explicit TFeedbackForm(QWidget* owner = nullptr);

    void AnonymousCheckBoxClick();
    void SendButtonClick();
    void CancelButtonClick();

    // The service's address (the program's own when empty) and the authorities to trust.
    QString ServiceAddress;
    QString ServiceCAFile;

    TWhiteTop* WhiteTop = nullptr;
    QLabel* TypeLabel = nullptr;
    QComboBox* TypeComboBox = nullptr;
    QLabel* DescriptionLabel = nullptr;
    QPlainTextEdit* DescriptionMemo = nullptr;
    QLabel* NameLabel = nullptr;
    QLineEdit* NameEdit = nullptr;
    QLabel* EMailAddressLabel = nullptr;
    QLineEdit* EMailAddressEdit = nullptr;
    QLabel* PrivacyLabel = nullptr;
    QCheckBox* AnonymousCheckBox = nullptr;
    QPushButton* SendButton = nullptr;
    QPushButton* CancelButton = nullptr;
    TBottomLine* BottomLine = nullptr;

protected:
    void reject() override;
};

void ShowFeedbackForm(QWidget* owner = nullptr);
