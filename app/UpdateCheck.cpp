#include "app/UpdateCheck.h"

#include "app/MainFormUnit.h"
#include "app/MessageDialogs.h"
#include "app/Settings.h"
#include "shared/core/Exceptions.h"
#include "shared/core/StringHelpers.h"
#include "updater/UpdAutoUpdater.h"
#include "updater/UpdHandOver.h"
#include "updater/widgets/UpdDialogs.h"

#include <QCoreApplication>

#include <QDesktopServices>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#ifndef QD_UPDATE_INFO_URL
#define QD_UPDATE_INFO_URL "https://www.orvanta.com/quandrel/update/quandrel.txt"
#endif
#ifndef QD_DOWNLOAD_PAGE
#define QD_DOWNLOAD_PAGE "https://www.orvanta.com/quandrel/download"
#endif

namespace {
std::function<void(TupdAutoUpdater&)>& AppUpdaterHook()
{
    static std::function<void(TupdAutoUpdater&)> hook;
    return hook;
}
} // namespace

void SetAppUpdaterHook(std::function<void(TupdAutoUpdater&)> hook)
{
    AppUpdaterHook() = std::move(hook);
}

std::unique_ptr<TupdAutoUpdater> CreateAppUpdater(QWidget* window)
{
    auto updater = std::make_unique<TupdAutoUpdater>();
    updater->VersionControl = TupdAutoUpdaterVersionControl::byNumber;
    updater->VersionNumber = GetProgramVersion(3);
    updater->SetRestartParams(QString());
    updater->Wizard.HideFileLocation = true;
    updater->SetLanguage(TupdAutoUpdaterLanguage::wlEnglish);
    updater->SetAutoCheck(false);
    updater->InfoFileURL = QStringLiteral(QD_UPDATE_INFO_URL);
    if (AppUpdaterHook())
        AppUpdaterHook()(*updater);
    // An installation cut short (the installer killed, a logout) is ended before anything of
    // the folder is used again; an update that did not complete is told, once.
    const QStringList told = updHandOver::RecoverInterrupted(updater->ProgramFolder);
    if (!told.isEmpty())
        MessageDlg(window, told.join(QStringLiteral("\n\n")), TMsgDlgType::Error, mbOK);

    updater->OnNoUpdateAvailable = [](TupdAutoUpdater*) {
        try {
            TSettings settings;
            settings.LastUpdateCheck = DateTime::Now();
            settings.SaveSettings();
        } catch (const Exception&) {
            // Not kept: the next start simply checks again.
        }
    };
    QPointer<QWidget> owner(window);
    updater->MessageBox = [owner](const QString& caption, const QString& text, int flags) {
        TMsgDlgType type = TMsgDlgType::Information;
        switch (flags & 0xF0) {
        case updMsgBox::IconError: type = TMsgDlgType::Error; break;
        case updMsgBox::IconQuestion: type = TMsgDlgType::Confirmation; break;
        case updMsgBox::IconWarning: type = TMsgDlgType::Warning; break;
        default: break;
        }
        const bool yesNo = (flags & 0x0F) == updMsgBox::YesNo;
        // The program's boxes carry no caption of their own: one that says more than the
        // window's title (the skip question's "Error #404") leads the text instead.
        const bool telling = !caption.isEmpty() && caption != updMessages::LoadMessage(updMessages::msgCaption) &&
                             caption != updDialogs::ApplicationTitle();
        const TModalResult answer =
            MessageDlg(owner, telling ? caption + QStringLiteral("\n\n") + text : text, type, yesNo ? mbYesNo : mbOK);
        return answer == TModalResult::Yes ? updMsgBox::IdYes : answer == TModalResult::No ? updMsgBox::IdNo : updMsgBox::IdOK;
    };
    updater->DownloadPage = QStringLiteral(QD_DOWNLOAD_PAGE);
    updDialogs::Install(*updater);
    // The installer starts only once the document is safe: saved, or its changes given up.
    updater->BeforeHandOver = [owner] {
        auto* form = dynamic_cast<TMainForm*>(owner.data());
        return !form || form->ShowSaveChangesPrompt();
    };
    updater->OnDoOwnCloseAppMethod = [owner](TupdAutoUpdater*) {
        if (auto* form = dynamic_cast<TMainForm*>(owner.data())) {
            form->SetModified(false); // the user has just answered for the changes
            form->close();
        }
        QCoreApplication::quit();
    };
    updUtils::SetOpenURLHandler([](const QString& url) { return QDesktopServices::openUrl(QUrl(url)); });
    return updater;
}

void CheckForUpdatesNow(TupdAutoUpdater& updater, QObject* context, const std::function<void(bool running)>& showRunning)
{
    updater.ShowMessages = AllShowMessages;
    const auto running = [&updater] { return updater.InfoMode() && updater.Busy(); };
    if (!running())
        updater.CheckUpdate(false);
    showRunning(running());
    // A server that does not answer keeps the check going for many seconds; the window shows it
    // until the check has ended. The updater's own events belong to the program's boxes, so a
    // light look at its state tells the end, once.
    const QString watchName = QStringLiteral("UpdateCheckWatch");
    if (!running() || context->findChild<QTimer*>(watchName, Qt::FindDirectChildrenOnly))
        return;
    auto* watch = new QTimer(context);
    watch->setObjectName(watchName);
    QObject::connect(watch, &QTimer::timeout, watch, [watch, running, showRunning] {
        if (running())
            return;
        watch->stop();
        watch->deleteLater();
        showRunning(false);
    });
    watch->start(100);
}
