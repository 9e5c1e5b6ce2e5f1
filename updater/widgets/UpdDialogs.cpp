#include "updater/widgets/UpdDialogs.h"

#include "updater/UpdAutoUpdater.h"
#include "updater/UpdWizardView.h"
#include "updater/widgets/UpdPasswordForm.h"
#include "updater/widgets/UpdUpgradeMessageForm.h"
#include "updater/widgets/UpdWizardForm.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>

namespace updDialogs {

namespace {

TExecHook& Hook()
{
    static TExecHook hook;
    return hook;
}

// Each window exists at most once at a time.
QPointer<TupdAutoUpdaterPasswordForm> PasswordForm;
QPointer<TupdAutoUpdaterWizardForm> WizardForm;
QPointer<TupdAutoUpdaterUpgradeMessageForm> UpgradeForm;

class TWizardView : public TupdWizardView {
public:
    explicit TWizardView(TupdAutoUpdaterWizardForm* form) : FForm(form) {}
    ~TWizardView() override
    {
        if (FForm)
            FForm->CloseByComponent();
    }
    void SetLocation(const QString& url) override
    {
        if (FForm) {
            FForm->FileURL->setText(url);
            FForm->FileURL->setCursorPosition(0);
        }
    }
    void SetCounter(const QString& text) override { Set(&TupdAutoUpdaterWizardForm::AllDownloading, text); }
    void SetFileSize(const QString& text) override { Set(&TupdAutoUpdaterWizardForm::LFileSize, text); }
    void SetRate(const QString& text) override { Set(&TupdAutoUpdaterWizardForm::LTransferRate, text); }
    void SetTimeLeft(const QString& text) override { Set(&TupdAutoUpdaterWizardForm::LEstimatedTime, text); }
    void SetProgress(int currentFile, int allFiles) override
    {
        if (FForm) {
            FForm->ProgressCurrentFile->setValue(currentFile);
            FForm->ProgressAllFiles->setValue(allFiles);
        }
    }
    void ShowWizardCompleted() override
    {
        if (FForm)
            FForm->ShowWizardCompleted();
    }
    void ShowSetupReady() override
    {
        if (FForm)
            FForm->ShowSetupReady();
    }

private:
    void Set(QLabel* TupdAutoUpdaterWizardForm::*label, const QString& text)
    {
        if (FForm)
            (FForm->*label)->setText(text);
    }
    QPointer<TupdAutoUpdaterWizardForm> FForm;
};

} // namespace

TExecHook SetExecHook(TExecHook hook)
{
    TExecHook old = std::move(Hook());
    Hook() = std::move(hook);
    return old;
}

int Exec(QDialog* dialog)
{
    return Hook() ? Hook()(dialog) : dialog->exec();
}

QString ApplicationTitle()
{
    return QGuiApplication::applicationDisplayName();
}

int WrappedHeight(const QLabel* label)
{
    const int h = label->heightForWidth(label->width());
    return h > 0 ? h : label->sizeHint().height();
}

bool ShowPasswordDialog(TupdAutoUpdater& updater, const QString& fileName)
{
    if (!PasswordForm)
        PasswordForm = new TupdAutoUpdaterPasswordForm;
    QPointer<TupdAutoUpdaterPasswordForm> form = PasswordForm;
    form->Prepare(updater, fileName);
    const bool ok = Exec(form) == QDialog::Accepted;
    if (form) {
        if (ok)
            form->Store();
        form->PasswordEdit->clear();
        delete form.data();
    }
    return ok;
}

std::unique_ptr<TupdWizardView> ShowWizard(TupdAutoUpdater& updater)
{
    if (WizardForm)
        WizardForm->CloseByComponent();
    WizardForm = new TupdAutoUpdaterWizardForm(updater);
    WizardForm->Prepare();
    WizardForm->show();
    return std::make_unique<TWizardView>(WizardForm);
}

bool AskUpgrade(const QString& message)
{
    if (!UpgradeForm)
        UpgradeForm = new TupdAutoUpdaterUpgradeMessageForm;
    QPointer<TupdAutoUpdaterUpgradeMessageForm> form = UpgradeForm;
    form->Prepare(message);
    const bool yes = Exec(form) == QDialog::Accepted;
    delete form.data();
    return yes;
}

void Install(TupdAutoUpdater& updater)
{
    updater.AskUpgrade = [](const QString& message) { return AskUpgrade(message); };
    updater.AskPassword = [&updater](const QString& fileName) { return ShowPasswordDialog(updater, fileName); };
    updater.CreateWizard = [](TupdAutoUpdater* u) { return ShowWizard(*u); };
}

} // namespace updDialogs
