#pragma once
// The component that keeps the program current: it fetches the update information file (over
// https only, certificate and host verified), compares the published version with the running
// one and reports the outcome through events and, as ShowMessages says, message boxes. A newer
// version leads to the upgrade question and then to the downloads (StartDownloads) or to the
// browser for a redirect.

#include "updater/UpdHTTP.h"
#include "updater/UpdInfoFile.h"
#include "updater/UpdMessages.h"
#include "updater/UpdStringList.h"
#include "updater/UpdWizardView.h"
#include "updater/installer/UpdInstallation.h"

#include <QByteArray>
#include <QStringList>

#include <functional>
#include <memory>

class QEventLoop;
class QTimer;

// Switches of the built-in message boxes and dialogs, each a bit.
enum TupdAutoUpdaterShowMessage : unsigned {
    mAskUpgrade = 1,
    mConnLost = 2,
    mHostUnreachable = 4,
    mLostFile = 8,
    mNoInfoFile = 16,
    mNoUpdateAvailable = 32,
    mPasswordRequest = 64,
};
constexpr unsigned AllShowMessages = 127;

enum class TupdMiscFilesUpgradeBehavior { mfuAlwaysDownload, mfuOnlyIfSizeDifferent };

// Message box flags, as the message texts' callers give them, and the answers.
namespace updMsgBox {
constexpr int IconError = 16;
constexpr int IconQuestion = 32;
constexpr int IconWarning = 48;
constexpr int IconInformation = 64;
constexpr int YesNo = 4;
constexpr int IdOK = 1;
constexpr int IdYes = 6;
constexpr int IdNo = 7;
} // namespace updMsgBox

struct TupdAutoUpdaterInfo {
    QStringList Files;
    TupdUpgradeMethod UpgradeMethod = TupdUpgradeMethod::umSelfUpgrade;
    QString UpgradeMsg;
};

struct TupdAutoUpdaterWizard {
    bool Enabled = true;
    bool HideFileLocation = false;
    bool StayOnTop = true;
    QString Pic118x218; // the side picture's file, empty for the built-in one
};

class TupdAutoUpdater : public TupdCustomHTTP {
public:
    TupdAutoUpdater();
    ~TupdAutoUpdater() override;

    // ---- Properties ----
    bool AutoCheck() const { return FAutoCheck; }
    void SetAutoCheck(bool value);
    int AutoCheckDelay = 10000;
    // The information file is small: its transfer ends within this time whatever its size.
    int InfoFileDeadlineSeconds = 60;
    TupdAutoUpdaterInfo InfoFile;
    QString InfoFileURL = QStringLiteral("https://");
    QString RestartParams() const { return FRestartParams; }
    // The empty text is kept as a single blank.
    void SetRestartParams(const QString& value);
    TupdMiscFilesUpgradeBehavior MiscFilesUpgrade = TupdMiscFilesUpgradeBehavior::mfuAlwaysDownload;
    TupdAutoUpdaterVersionControl VersionControl = TupdAutoUpdaterVersionControl::byDate;
    QString VersionDate; // "MM/DD/YYYY", today when made
    QString VersionNumber;
    unsigned ShowMessages = mAskUpgrade | mConnLost | mLostFile | mPasswordRequest;
    TupdAutoUpdaterWizard Wizard;
    TupdAutoUpdaterLanguage Language() const { return FLanguage; }
    void SetLanguage(TupdAutoUpdaterLanguage language);

    // ---- Events ----
    std::function<void(TupdAutoUpdater*, const QString& upgradeMsg, TupdUpgradeMethod, const TupdStringList& files,
                       bool& canUpgrade)>
        OnBeginUpgrade;
    std::function<void(TupdAutoUpdater*, bool& restartImmediately)> OnEndUpgrade;
    std::function<void(TupdAutoUpdater*)> OnLaterUpgrade;
    std::function<void(TupdAutoUpdater*, const QString& fileURL, int64_t fileSize, int64_t bytesRead,
                       int64_t elapsedTime, int64_t estimatedTimeLeft, uint8_t percentsDone,
                       uint8_t totalPercentsDone, float transferRate)>
        OnProgress;
    std::function<void(TupdAutoUpdater*, const QString& fileURL, int64_t fileSize, const QDateTime& fileTime,
                       bool& canUpgrade)>
        OnFileStart;
    std::function<void(TupdAutoUpdater*, const QString& fileName)> OnFileDone;
    std::function<void(TupdAutoUpdater*)> OnDoOwnCloseAppMethod;
    std::function<void(TupdAutoUpdater*)> OnAfterRestart;
    std::function<void(TupdAutoUpdater*)> OnAborted;
    std::function<void(TupdAutoUpdater*)> OnConnLost;
    std::function<void(TupdAutoUpdater*, const QString& url, const QString& hostName)> OnHostUnreachable;
    std::function<void(TupdAutoUpdater*)> OnNoUpdateAvailable;
    std::function<void(TupdAutoUpdater*)> OnNoInfoFile;
    std::function<void(TupdAutoUpdater*, const QString& fileURL, int errorCode, bool& continueUpgrade)> OnLostFile;
    std::function<void(TupdAutoUpdater*, const QString& realm, bool& tryAgain)> OnPasswordRequest;

    // ---- Seams for what the user sees; the program installs widgets, tests answer them ----
    // A message box: caption, text, flags; answers the button (updMsgBox::IdYes for yes).
    std::function<int(const QString& caption, const QString& text, int flags)> MessageBox;
    // The upgrade question with the information file's message: true for yes. Without one, a
    // yes/no box with message 23 asks.
    std::function<bool(const QString& message)> AskUpgrade;
    // The password dialog for a file: true when the user gave credentials (put into
    // HTTPUsername and HTTPPassword).
    std::function<bool(const QString& fileName)> AskPassword;

    // The progress wizard's window (none: the downloads run without one).
    std::function<std::unique_ptr<TupdWizardView>(TupdAutoUpdater*)> CreateWizard;
    // Asked just before the installer starts, e.g. to save a modified document; false cancels
    // the hand-over with nothing started or replaced.
    std::function<bool()> BeforeHandOver;
    // Starts the installer detached (tests record it instead); false with the reason.
    std::function<bool(const QString& installer, const QStringList& arguments, QString& error)> StartInstaller;

    // ---- The program being updated (the running one unless told otherwise) ----
    QString ProgramFileName;
    QString ProgramFolder; // with a trailing "/"
    qint64 ProgramProcessId = 0;
    // Offered when the program's folder cannot be written by the user.
    QString DownloadPage;

    // ---- Operations ----
    // The wizard's window was closed: by its Finish button, or by the user who chose to abort.
    void WizardClosed(bool abort);
    // Starts a check; with wait, returns when it has ended (events are served meanwhile) and
    // never asks or downloads. Answers UpdateAvailable.
    bool CheckUpdate(bool wait);
    // After the program has started: fires OnAfterRestart when the first argument is exactly
    // RestartParams.
    void Loaded(const QStringList& arguments);
    // Message n of the current language, plain or formatted, and a box with caption message 0.
    int ShowMessage(const QString& text, int flags);
    int ShowMessageN(int n, int flags);

    // ---- Run-time state ----
    const TupdStringList& FileList() const { return FFileList; }
    bool UpdateAvailable() const { return FUpdateAvailable; }
    bool Aborted() const { return FAborted; }
    bool InfoMode() const { return FInfoMode; }
    bool StartedByTimer() const { return FStartedByTimer; }
    bool TimerCheckRunning() const { return FTimerCheckRunning; }
    TupdUpgradeMethod MethodCode() const { return FMethodCode; }
    // The last words of an outcome that went wrong (refused address, certificate, ...).
    QString LastProblem() const { return FLastProblem; }

    // The timer's tick; public so that the program (and tests) can run one.
    void TimerTick();

protected:
    // Downloading the listed files starting with the first; the update's download stage.
    virtual void StartDownloads();
    // Ends a check or an update: signals a waiting CheckUpdate, stops a running transfer.
    virtual void Finish();
    // Ends an update on the user's or a failure's word.
    virtual void Abort();
    void SignalCheckDone();

    TupdStringList FFileList;
    bool FUpdateAvailable = false;
    bool FAborted = false;
    bool FWaitingCheck = false;
    bool FTimerCheckRunning = false;
    bool FStartedByTimer = false;
    bool FInfoMode = false;
    bool FDownloadsDone = false;
    TupdUpgradeMethod FMethodCode = TupdUpgradeMethod::umSelfUpgrade;
    QString FUpgradeMessage;

private:
    void ReArm();
    // Words of their own for a failure that the table's messages would misname (a refused
    // certificate or address, an over-size answer or file, a deadline, a transfer below the least
    // rate, an unreadable coding); empty when the table's message says what happened.
    QString ProblemText() const;
    // Why this update cannot be installed here (a folder that cannot be written, a target
    // outside the program's folder), shown before anything is downloaded; false when it can.
    bool RefuseUpdate();
    void Evaluate(const QByteArray& data);
    void InfoHTTPError(int status);
    void HostUnreachable();
    void ConnectionLost();
    void PasswordRequest(const QString& realm, bool& tryAgain);
    void Fetch();
    void NextFile();
    void FileStart(const TupdHeaderInfo& headers, bool& continueTransfer);
    void FileDone();
    void FileProgress(const TupdProgress& progress);
    void LostFile(int status);
    void DownloadsComplete();
    void HandOver();
    void DeleteLeftovers();
    void CloseWizard();

    bool FAutoCheck = false;
    QString FRestartParams = QStringLiteral("/afterupgrade");
    TupdAutoUpdaterLanguage FLanguage = TupdAutoUpdaterLanguage::wlAuto;
    std::unique_ptr<QTimer> FTimer;
    QEventLoop* FCheckLoop = nullptr;
    bool FCheckDone = false;
    QString FLastProblem;
    bool FDownloading = false;
    int FFileIndex = 0;
    QString FCurrentTarget;
    QDateTime FCurrentFileTime;
    QStringList FTargets;   // resolved target of every entry so far
    QStringList FArrived;   // targets whose file arrived whole, in list order
    // The update's private folder, made as its downloads begin: an external setup's files arrive
    // in it; other updates record there the names of their downloads into the program folder.
    QString FPrivateFolder;
    updInstall::TFolderLock FPrivateHold; // held until the installer takes the folder over
    bool FSetup = false;                  // the update is an external setup
    int FFilesFailed = 0;   // files that could not be fetched and were skipped
    std::unique_ptr<TupdWizardView> FWizard;
    bool FAwaitingWizard = false;
};
