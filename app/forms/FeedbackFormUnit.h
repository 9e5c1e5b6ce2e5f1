#pragma once
// "Send Feedback": a problem report, feature request or suggestion, sent with or without the
// sender's name and address to the maker's feedback service. The report travels on a worker
// thread: the window stays live while it is sent, and Cancel ends the transfer at once, keeping
// what was written.

#include <QDialog>

#include <memory>

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
    ~TFeedbackForm() override;

    void AnonymousCheckBoxClick();
    void SendButtonClick();
    void CancelButtonClick();
    // A report is on its way.
    bool Sending() const { return FSending != nullptr; }
    // The service has confirmed the report on its way: it counts as sent, whatever a Cancel
    // does, and the form tells of its success once the transfer has ended.
    bool Confirmed() const;

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

private:
    struct TSending;
    void SendFinished();
    std::unique_ptr<TSending> FSending;
};

void ShowFeedbackForm(QWidget* owner = nullptr);
