#include "updater/UpdAutoUpdater.h"

#include "updater/UpdHandOver.h"
#include "updater/UpdUtils.h"

#include <QCoreApplication>
#include <QDate>
#include <QEventLoop>
#include <QTimer>

TupdAutoUpdater::TupdAutoUpdater() : FTimer(std::make_unique<QTimer>())
{
    OutputFileAttributes.Incomplete = FileAttr(TupdFileAttribute::atrHidden) | FileAttr(TupdFileAttribute::atrTemporary);
    OutputFileAttributes.Complete = FileAttr(TupdFileAttribute::atrArchive) |
                                    FileAttr(TupdFileAttribute::atrHidden) | FileAttr(TupdFileAttribute::atrTemporary);
    // What the update server says decides what runs on this computer: it is reached over
    // verified TLS only.
    HttpsOnly = true;
    VersionDate = updInfoFile::FormatUpdateDate(QDate::currentDate());
    FFileList.Separator = QStringLiteral("=");
    SetLanguage(TupdAutoUpdaterLanguage::wlAuto);

    OnHTTPDone = [this](TupdCustomHTTP*, const QString&, const QByteArray* data, int64_t) {
        if (FInfoMode)
            Evaluate(data ? *data : QByteArray());
        else if (FDownloading)
            FileDone();
    };
    OnHTTPError = [this](TupdCustomHTTP*, int status, const QByteArray*) {
        if (FInfoMode)
            InfoHTTPError(status);
        else if (FDownloading)
            LostFile(status);
    };
    OnHTTPHeaderInfo = [this](TupdCustomHTTP*, const TupdHeaderInfo& headers, bool& continueTransfer) {
        if (FDownloading && !FInfoMode)
            FileStart(headers, continueTransfer);
    };
    OnHTTPProgress = [this](TupdCustomHTTP*, const QString&, const TupdProgress& progress) {
        if (FDownloading && !FInfoMode)
            FileProgress(progress);
    };
    OnHTTPHostUnreachable = [this](TupdCustomHTTP*) { HostUnreachable(); };
    OnHTTPConnLost = [this](TupdCustomHTTP*, const QString&, const QByteArray*, int64_t, int64_t) { ConnectionLost(); };
    OnHTTPPasswordRequest = [this](TupdCustomHTTP*, const QString& realm, bool& tryAgain) {
        PasswordRequest(realm, tryAgain);
    };
    OnHTTPAborted = [this](TupdCustomHTTP*) { SignalCheckDone(); };
    OnHTTPStopped = [this](TupdCustomHTTP*) {
        if (FDownloading && !FInfoMode)
            NextFile();
        else
            SignalCheckDone();
    };
    ProgramFileName = updUtils::ProgramFile();
    ProgramFolder = updUtils::CurrentFolder();
    ProgramProcessId = QCoreApplication::applicationPid();

    FTimer->setSingleShot(false);
    QObject::connect(FTimer.get(), &QTimer::timeout, FTimer.get(), [this] { TimerTick(); });
}

TupdAutoUpdater::~TupdAutoUpdater()
{
    SetAutoCheck(false);
    StopWorker();
    if (FCheckLoop)
        FCheckLoop->quit();
}

void TupdAutoUpdater::SetAutoCheck(bool value)
{
    FAutoCheck = value;
    ReArm();
}

void TupdAutoUpdater::SetRestartParams(const QString& value)
{
    FRestartParams = value.isEmpty() ? QStringLiteral(" ") : value;
}

void TupdAutoUpdater::SetLanguage(TupdAutoUpdaterLanguage language)
{
    FLanguage = language;
    updMessages::SetLanguage(language);
}

void TupdAutoUpdater::ReArm()
{
    FTimer->stop();
    if (FAutoCheck && !FTimerCheckRunning && AutoCheckDelay >= 1)
        FTimer->start(AutoCheckDelay);
}

void TupdAutoUpdater::TimerTick()
{
    if (!FAutoCheck || !updUtils::IsConnected())
        return;
    FTimerCheckRunning = true;
    ReArm();
    CheckUpdate(false);
    FStartedByTimer = true;
}

bool TupdAutoUpdater::CheckUpdate(bool wait)
{
    if (wait)
        FWaitingCheck = true;
    FAborted = false;
    FStartedByTimer = false;
    if (!Busy()) {
        FUpdateAvailable = false;
        FCheckDone = false;
        FLastProblem.clear();
        if (!InfoFileURL.trimmed().startsWith(QLatin1String("https://"), Qt::CaseInsensitive)) {
            // Refused before anything is sent: the answer would decide what runs here.
            FLastProblem = QStringLiteral("Only https addresses are accepted for updates: %1").arg(InfoFileURL);
            if (OnNoInfoFile)
                OnNoInfoFile(this);
            if (ShowMessages & mNoInfoFile)
                ShowMessage(FLastProblem, updMsgBox::IconError);
            FWaitingCheck = false;
            return false;
        }
        FInfoMode = true;
        const unsigned cache = CacheOptions;
        const int deadline = DeadlineSeconds;
        const int64_t rate = MinTransferRate;
        URL = InfoFileURL;
        FileName.clear();
        CacheOptions = cache | Bit(coPragmaNoCache);
        MaxMemorySize = 1 << 20;
        DeadlineSeconds = InfoFileDeadlineSeconds;
        MinTransferRate = 0;
        Start();
        CacheOptions = cache;
        DeadlineSeconds = deadline;
        MinTransferRate = rate;
    }
    if (wait && !FCheckDone && Busy()) {
        QEventLoop loop;
        FCheckLoop = &loop;
        QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &loop, &QEventLoop::quit);
        loop.exec();
        FCheckLoop = nullptr;
    }
    FWaitingCheck = false;
    return FUpdateAvailable;
}

void TupdAutoUpdater::SignalCheckDone()
{
    FCheckDone = true;
    if (FCheckLoop)
        FCheckLoop->quit();
}

void TupdAutoUpdater::Loaded(const QStringList& arguments)
{
    if (OnAfterRestart && !arguments.isEmpty() && arguments.first() == FRestartParams)
        OnAfterRestart(this);
}

QString TupdAutoUpdater::ProblemText() const
{
    const QString origin = URL.section(QLatin1Char('/'), 0, 2); // scheme, host and port
    switch (Failure()) {
    case TupdFailure::Certificate:
        return QStringLiteral("The server %1 could not prove its identity, so nothing was fetched from it (%2).\n\n"
                              "Someone may be interfering with the connection; try to upgrade this software again "
                              "later.")
            .arg(origin, LastError());
    case TupdFailure::RefusedAddress:
        return RefusedURL().isEmpty()
                   ? QStringLiteral("The address %1 was refused: updates are fetched over https only.").arg(URL)
                   : QStringLiteral("The address %1 was refused: the server sent the request on to %2, and updates "
                                    "are fetched over https only.")
                         .arg(URL, RefusedURL());
    case TupdFailure::TooLarge:
        if (!FileName.isEmpty())
            return QStringLiteral("File %1 was not accepted. %2").arg(URLFileName(), LastError());
        return QStringLiteral("The answer from %1 is larger than %2 KB and was not accepted.")
            .arg(URL)
            .arg(MaxMemorySize / 1024);
    case TupdFailure::TooSlow: {
        // the component's sentence goes on after the colon
        QString reason = LastError();
        if (!reason.isEmpty())
            reason[0] = reason[0].toLower();
        return QStringLiteral("The transfer of %1 was given up: %2\n\nPlease try to upgrade this software again later.")
            .arg(URLFileName(), reason);
    }
    case TupdFailure::Deadline:
        return QStringLiteral("The transfer of %1 did not finish within %2 seconds.\n\nPlease try to upgrade this "
                              "software again later.")
            .arg(URLFileName())
            .arg(DeadlineOf());
    case TupdFailure::ContentCoding:
        return QStringLiteral("File %1 arrived in a content coding that cannot be read (%2).")
            .arg(URLFileName(), Headers().ContentEncoding);
    case TupdFailure::LocalFile: return LastError();
    default: return QString();
    }
}

int TupdAutoUpdater::ShowMessage(const QString& text, int flags)
{
    return MessageBox ? MessageBox(updMessages::LoadMessage(updMessages::msgCaption), text, flags) : 0;
}

int TupdAutoUpdater::ShowMessageN(int n, int flags)
{
    return ShowMessage(updMessages::LoadMessage(n), flags);
}

void TupdAutoUpdater::Evaluate(const QByteArray& data)
{
    FFileList.Clear();
    for (const QString& entry : updInfoFile::FileEntries(data))
        FFileList.Add(entry);
    const std::optional<bool> newer = updInfoFile::IsNewer(data, VersionControl, VersionNumber, VersionDate);
    if (!newer)
        FLastProblem = QStringLiteral("A release date is not of the form MM/DD/YYYY.");
    if (newer.value_or(false) && FFileList.Count() > 0) {
        FUpdateAvailable = true;
        FUpgradeMessage = QString::fromUtf8(updInfoFile::ReadTag(data, "#message", true));
        FMethodCode = updInfoFile::Method(data);
        bool canUpgrade = FUpdateAvailable;
        if (OnBeginUpgrade)
            OnBeginUpgrade(this, FUpgradeMessage, FMethodCode, FFileList, canUpgrade);
        FUpdateAvailable = canUpgrade;
        if (!FWaitingCheck) {
            if (FUpdateAvailable && FMethodCode != TupdUpgradeMethod::umRedirectToURL && RefuseUpdate()) {
                // nobody is asked to agree to an update that cannot be installed
            } else if (FUpdateAvailable) {
                bool yes = true;
                if (ShowMessages & mAskUpgrade)
                    yes = AskUpgrade ? AskUpgrade(FUpgradeMessage)
                                     : ShowMessage(updMessages::FormatMessage(
                                                       updMessages::msgUpgradeQuestion,
                                                       QCoreApplication::applicationName().toUtf8().constData(),
                                                       FUpgradeMessage.toUtf8().constData()),
                                                   updMsgBox::YesNo | updMsgBox::IconQuestion) == updMsgBox::IdYes;
                if (!yes) {
                    if (OnLaterUpgrade)
                        OnLaterUpgrade(this);
                } else if (FMethodCode == TupdUpgradeMethod::umRedirectToURL) {
                    // the whole first entry is the address: a query may hold "="
                    FInfoMode = false;
                    if (!updUtils::OpenURL(FFileList[0]))
                        FLastProblem = QStringLiteral("Only web pages are opened: %1").arg(FFileList[0]);
                } else {
                    FInfoMode = false;
                    StartDownloads();
                }
            } else if (OnLaterUpgrade) {
                OnLaterUpgrade(this);
            }
        }
    } else {
        if (OnNoUpdateAvailable)
            OnNoUpdateAvailable(this);
        if (!FStartedByTimer && (ShowMessages & mNoUpdateAvailable))
            ShowMessageN(updMessages::msgNoUpdate, updMsgBox::IconInformation);
    }
    if (FInfoMode)
        FInfoMode = false;
    SignalCheckDone();
}

void TupdAutoUpdater::InfoHTTPError(int status)
{
    FInfoMode = false;
    FLastProblem = LastError().isEmpty() ? QStringLiteral("HTTP status %1").arg(status) : LastError();
    const QString own = ProblemText();
    SignalCheckDone();
    if (OnNoInfoFile)
        OnNoInfoFile(this);
    if (ShowMessages & mNoInfoFile) {
        if (own.isEmpty())
            ShowMessageN(updMessages::msgNoInfoFile, updMsgBox::IconError);
        else
            ShowMessage(own, updMsgBox::IconError);
    }
}

void TupdAutoUpdater::HostUnreachable()
{
    FLastProblem = LastError();
    const QString host = HostName();
    const QString own = ProblemText();
    if (OnHostUnreachable)
        OnHostUnreachable(this, URL, host);
    if (FStartedByTimer) {
        FTimerCheckRunning = false;
        ReArm();
    } else if ((ShowMessages & mHostUnreachable) && own.isEmpty()) {
        // the host as it was addressed, with its real scheme
        const QString scheme = URL.contains(QLatin1String("://")) ? URL.section(QLatin1String("://"), 0, 0) : "http";
        ShowMessage(updMessages::FormatMessage(updMessages::msgHostUnreachable,
                                               (scheme + QStringLiteral("://") + host).toUtf8().constData()),
                    updMsgBox::IconError);
    } else if (ShowMessages & mHostUnreachable) {
        ShowMessage(own, updMsgBox::IconError);
    }
    Finish();
}

void TupdAutoUpdater::ConnectionLost()
{
    FLastProblem = LastError();
    const QString own = ProblemText();
    if (OnConnLost)
        OnConnLost(this);
    if (ShowMessages & mConnLost) {
        if (own.isEmpty())
            ShowMessageN(updMessages::msgConnectionLost, updMsgBox::IconError);
        else
            ShowMessage(own, updMsgBox::IconError);
    }
    Finish();
}

void TupdAutoUpdater::PasswordRequest(const QString& realm, bool& tryAgain)
{
    if (OnPasswordRequest)
        OnPasswordRequest(this, realm, tryAgain);
    if (!tryAgain && (ShowMessages & mPasswordRequest) && AskPassword)
        tryAgain = AskPassword(URLFileName());
    if (!tryAgain)
        Abort();
}
