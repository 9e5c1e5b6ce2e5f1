#include "app/forms/FeedbackFormUnit.h"

#include "app/FeedbackService.h"
#include "app/MessageDialogs.h"
#include "app/forms/OptionsFormUnit.h"
#include "shared/core/StringHelpers.h"
#include "shared/widgets/BottomLine.h"
#include "shared/widgets/ScreenFit.h"
#include "shared/widgets/WhiteTop.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include <atomic>

namespace {

const TColor Maroon = 0x000080;

} // namespace

// A report on its way: the worker and what it found.
struct TFeedbackForm::TSending {
    std::shared_ptr<TFeedbackServiceSoap> Service;
    std::unique_ptr<QThread> Worker;
    std::shared_ptr<QString> Failure; // empty once the service confirmed the report
    std::shared_ptr<std::atomic<bool>> Confirmed = std::make_shared<std::atomic<bool>>(false);
    bool Cancelled = false;
};

TFeedbackForm::TFeedbackForm(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("FeedbackForm"));
    setWindowTitle(QStringLiteral("Send Feedback"));

    WhiteTop = new TWhiteTop(this);
    WhiteTop->SetTitle(QStringLiteral("Send Feedback"));
    WhiteTop->SetMsg(QStringLiteral("Here you can upload suggestions or bugreports to the Orvanta team."));
    WhiteTop->SetTitleColor(Maroon);

    TypeLabel = new QLabel(QStringLiteral("Type:"), this);
    TypeComboBox = new QComboBox(this);
    TypeComboBox->addItems({QStringLiteral("Bug"), QStringLiteral("Feature"), QStringLiteral("Improvement")});
    TypeComboBox->setCurrentIndex(2);
    DescriptionLabel = new QLabel(QStringLiteral("Description:"), this);
    DescriptionMemo = new QPlainTextEdit(this);
    NameLabel = new QLabel(QStringLiteral("Name:"), this);
    NameEdit = new QLineEdit(this);
    EMailAddressLabel = new QLabel(QStringLiteral("E-Mail adress:"), this);
    EMailAddressEdit = new QLineEdit(this);
    PrivacyLabel = new QLabel(QStringLiteral("We will never sell or share your e-mail address or your name, period."), this);
    AnonymousCheckBox = new QCheckBox(QStringLiteral("Send anonymously anyway"), this);
    SendButton = new QPushButton(QStringLiteral("Send"), this);
    SendButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    BottomLine = new TBottomLine(this);
    BottomLine->SetTitle(TOptionsForm::MakerWebAddress);
    TypeLabel->setBuddy(TypeComboBox);
    DescriptionLabel->setBuddy(DescriptionMemo);
    NameLabel->setBuddy(NameEdit);
    EMailAddressLabel->setBuddy(EMailAddressEdit);

    connect(AnonymousCheckBox, &QCheckBox::toggled, this, [this] { AnonymousCheckBoxClick(); });
    connect(SendButton, &QPushButton::clicked, this, [this] { SendButtonClick(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });

    auto* grid = new QGridLayout;
    grid->addWidget(TypeLabel, 0, 0);
    grid->addWidget(TypeComboBox, 0, 1, Qt::AlignLeft);
    grid->addWidget(DescriptionLabel, 1, 0, Qt::AlignTop);
    grid->addWidget(DescriptionMemo, 1, 1);
    grid->addWidget(NameLabel, 2, 0);
    grid->addWidget(NameEdit, 2, 1);
    grid->addWidget(EMailAddressLabel, 3, 0);
    grid->addWidget(EMailAddressEdit, 3, 1);
    grid->addWidget(PrivacyLabel, 4, 1);
    grid->addWidget(AnonymousCheckBox, 5, 1);
    grid->setRowStretch(1, 1);
    // The buttons stand on the footer, below its rule.
    auto* buttons = new QHBoxLayout(BottomLine);
    buttons->setContentsMargins(12, 18, 12, 8);
    buttons->addStretch(1);
    buttons->addWidget(SendButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(WhiteTop);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(12, 8, 12, 0);
    body->addLayout(grid, 1);
    layout->addLayout(body, 1);
    layout->addWidget(BottomLine);
    resize(460, 420);
    FitToScreen(this);
}

TFeedbackForm::~TFeedbackForm()
{
    if (FSending) {
        FSending->Service->Cancel();
        FSending->Worker->wait();
        QApplication::restoreOverrideCursor();
    }
}

void TFeedbackForm::AnonymousCheckBoxClick()
{
    const bool named = !AnonymousCheckBox->isChecked();
    EMailAddressLabel->setEnabled(named);
    EMailAddressEdit->setEnabled(named);
    NameLabel->setEnabled(named);
    NameEdit->setEnabled(named);
}

void TFeedbackForm::SendButtonClick()
{
    if (FSending)
        return;
    // A memo holding only a line break still holds a line.
    if (DescriptionMemo->toPlainText().isEmpty()) {
        MessageDlg(this, QStringLiteral("Please enter a description"), TMsgDlgType::Information, mbOK);
        return;
    }
    const bool anonymous = AnonymousCheckBox->isChecked();
    if (!anonymous) {
        const QString email = EMailAddressEdit->text().trimmed();
        const QString name = email.isEmpty() ? QString() : NameEdit->text().trimmed();
        if (email.isEmpty() || name.isEmpty()) {
            MessageDlg(this, QStringLiteral("Please enter your Name and E-Mail address or send anonymously"),
                       TMsgDlgType::Information, mbOK);
            return;
        }
    } else if (MessageDlg(this,
                          QStringLiteral("You have chosen to send the report anonymously. Eventhough we will still "
                                         "process your report please keep in mind that we can not reply to you.") +
                              QStringLiteral("\r\r") +
                              QStringLiteral("Are you really sure you wish to send anonymously?"),
                          TMsgDlgType::Confirmation, mbYesNo) != TModalResult::Yes) {
        return;
    }
    QString version = GetProgramVersion(4);
    if (IsPreReleaseBuild())
        version += QStringLiteral(" beta");

    std::shared_ptr<TFeedbackServiceSoap> service = GetFeedbackServiceSoap(false, ServiceAddress);
    service->CAFile = ServiceCAFile;
    auto failure = std::make_shared<QString>();
    const QString type = TypeComboBox->currentText(), message = DescriptionMemo->toPlainText().trimmed();
    const QString email = anonymous ? QString() : EMailAddressEdit->text().trimmed();
    const QString name = anonymous ? QString() : NameEdit->text().trimmed();
    FSending = std::make_unique<TSending>();
    FSending->Service = service;
    FSending->Failure = failure;
    FSending->Worker.reset(QThread::create([service, failure, confirmed = FSending->Confirmed, version, type, message,
                                            email, name] {
        try {
            service->Feedback(QStringLiteral("Quandrel"), version, type, message, email, name);
            *confirmed = true;
        } catch (const std::exception& e) {
            *failure = QString::fromUtf8(e.what());
            if (failure->isEmpty())
                *failure = QStringLiteral("Unknown error");
        }
    }));
    connect(FSending->Worker.get(), &QThread::finished, this, [this] { SendFinished(); });
    QApplication::setOverrideCursor(Qt::BusyCursor); // busy, yet every control answers
    SendButton->setEnabled(false);
    FSending->Worker->start();
}

void TFeedbackForm::SendFinished()
{
    const std::unique_ptr<TSending> sending = std::move(FSending);
    sending->Worker->wait();
    QApplication::restoreOverrideCursor();
    SendButton->setEnabled(true);
    if (!sending->Failure->isEmpty()) {
        if (sending->Cancelled)
            return; // the form stays with what was written
        MessageDlg(this,
                   QStringLiteral("There was an error sending the feedback report to the Orvanta server: ") +
                       QStringLiteral("\r\r") + *sending->Failure,
                   TMsgDlgType::Warning, mbOK);
        return;
    }
    MessageDlg(this,
               QStringLiteral("Your feedback has been posted to our server and will be processed soon.") +
                   QStringLiteral("\r\r") + QStringLiteral("Thank you"),
               TMsgDlgType::Information, mbOK);
    accept();
}

bool TFeedbackForm::Confirmed() const
{
    return FSending && FSending->Confirmed->load();
}

void TFeedbackForm::CancelButtonClick()
{
    if (FSending) { // the report on its way is stopped; what was written stays
        FSending->Cancelled = true;
        FSending->Service->Cancel();
        return;
    }
    if (!DescriptionMemo->toPlainText().isEmpty() &&
        MessageDlg(this, QStringLiteral("Are you sure you want to cancel the report?"), TMsgDlgType::Confirmation,
                   mbOK | mbCancel) != TModalResult::OK)
        return;
    QDialog::reject();
}

void TFeedbackForm::reject()
{
    // Escape and the window's close button go the way of the cancel button.
    CancelButtonClick();
}

void ShowFeedbackForm(QWidget* owner)
{
    TFeedbackForm form(owner);
    form.exec();
}
