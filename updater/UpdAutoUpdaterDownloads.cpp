// The download stage of an update: every listed file into "<target>.uTMP" beside its target,
// then the hand-over to the installer program, which replaces them once the program has ended.

#include "updater/UpdAutoUpdater.h"

#include "updater/UpdHandOver.h"
#include "updater/UpdUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

bool TupdAutoUpdater::RefuseUpdate()
{
    // An external setup arrives in a private folder and is run from there: it changes nothing
    // in the program's folder by itself.
    const bool setup = FMethodCode == TupdUpgradeMethod::umUseExternalSetup;
    if (!setup && (ProgramFolder.isEmpty() || !updHandOver::FolderWritable(ProgramFolder))) {
        // A system-wide install is updated by the system's package tools, not from here.
        const QString text =
            QStringLiteral("%1 is installed in \"%2\", where you cannot replace files, so it cannot update itself.")
                .arg(QCoreApplication::applicationName(), ProgramFolder);
        FLastProblem = text;
        if (!DownloadPage.isEmpty()) {
            if (ShowMessage(text + QStringLiteral("\n\nOpen the download page?"), updMsgBox::YesNo | updMsgBox::IconWarning) ==
                updMsgBox::IdYes)
                updUtils::OpenURL(DownloadPage);
        } else {
            ShowMessage(text, updMsgBox::IconWarning);
        }
        Finish();
        return true;
    }
    for (int i = 0; i < FFileList.Count(); ++i) {
        // An external setup's files go to a private folder not made yet: there are no links
        // to follow in it.
        const QString folder = setup ? updUtils::GetTempDir() : ProgramFolder;
        const QString target = updHandOver::ResolveTarget(FFileList.GetName(i), FFileList.GetValue(i), folder);
        QString why;
        if (target.isEmpty() || (!setup && !updHandOver::Confined(target, folder, why))) {
            FLastProblem = QStringLiteral("The update names a file outside the program's folder: %1").arg(FFileList[i]);
            ShowMessage(FLastProblem, updMsgBox::IconError);
            Finish();
            return true;
        }
    }
    return false;
}

void TupdAutoUpdater::StartDownloads()
{
    if (RefuseUpdate())
        return;
    FInfoMode = false;
    FDownloading = true;
    FDownloadsDone = false;
    FAwaitingWizard = false;
    FFileIndex = 0;
    FTargets.clear();
    FArrived.clear();
    FFilesFailed = 0;
    DeleteLeftovers();
    FSetup = FMethodCode == TupdUpgradeMethod::umUseExternalSetup;
    updHandOver::TPrepared folder;
    QString error;
    if (!updHandOver::MakePrivateFolder(folder, error)) {
        FLastProblem = QStringLiteral("The update was not installed. %1").arg(error);
        ShowMessage(FLastProblem, updMsgBox::IconError);
        FDownloading = false;
        Finish();
        return;
    }
    FPrivateFolder = folder.Folder + QLatin1Char('/');
    FPrivateHold = std::move(folder.Hold);
    if (Wizard.Enabled && CreateWizard)
        FWizard = CreateWizard(this);
    Fetch();
}

void TupdAutoUpdater::NextFile()
{
    ++FFileIndex;
    Fetch();
}

void TupdAutoUpdater::Fetch()
{
    const int count = FFileList.Count();
    if (FFileIndex >= count && FArrived.isEmpty()) {
        // Nothing arrived to be installed: no "completed" page, no restart.
        FLastProblem = FFilesFailed > 0
                           ? QStringLiteral("None of the update's files could be fetched, so nothing was installed.")
                           : QStringLiteral("Every file of the update is already in place, so nothing was installed.");
        ShowMessage(FLastProblem, FFilesFailed > 0 ? updMsgBox::IconWarning : updMsgBox::IconInformation);
        Abort();
        return;
    }
    if (FFileIndex >= count && FSetup && !FArrived.contains(FTargets.value(0))) {
        // The first file is the setup program: what came with it is of no use without it.
        FLastProblem = QStringLiteral("The update was not installed: its setup program %1 could not be fetched.")
                           .arg(QFileInfo(FTargets.value(0)).fileName());
        ShowMessage(FLastProblem, updMsgBox::IconWarning);
        Abort();
        return;
    }
    if (FFileIndex >= count) {
        if (FWizard) {
            FAwaitingWizard = true;
            if (!FSetup)
                FWizard->ShowWizardCompleted();
            else
                FWizard->ShowSetupReady();
        } else {
            DownloadsComplete();
        }
        return;
    }
    const QString url = FFileList.GetName(FFileIndex);
    if (FWizard) {
        FWizard->SetLocation(url);
        FWizard->SetCounter(updMessages::FormatMessage(updMessages::msgDownloadingOf, FFileIndex + 1, count));
    }
    const QString folder = FSetup ? FPrivateFolder : ProgramFolder;
    const QString target = updHandOver::ResolveTarget(url, FFileList.GetValue(FFileIndex), folder);
    QString why;
    // Links are followed before anything is created: one that leads out of the folder would
    // take the download (and later the installation) with it.
    if (target.isEmpty() || !updHandOver::Confined(target, folder, why)) {
        FLastProblem = QStringLiteral("The update names a file outside the program's folder: %1").arg(FFileList[FFileIndex]);
        ShowMessage(FLastProblem, updMsgBox::IconError);
        Abort();
        return;
    }
    if (!FFileList.GetValue(FFileIndex).isEmpty())
        FFileList.SetValue(FFileIndex, target);
    FTargets << target;
    // Named before it is made: whatever a program that ends before its hand-over leaves in the
    // program folder, a later start finds by these names.
    QString error;
    if (!FSetup && !updHandOver::RecordDownloads({QDir::cleanPath(FPrivateFolder), {}, {}, {}}, FTargets, error)) {
        FLastProblem = QStringLiteral("The update was not installed. %1").arg(error);
        ShowMessage(FLastProblem, updMsgBox::IconError);
        Abort();
        return;
    }
    updUtils::ForceDirectories(target);
    FCurrentTarget = target + QLatin1String(updHandOver::TempSuffix);
    // Made afresh: an entry of that name (a link above all) is never written through.
    unlink(QFile::encodeName(FCurrentTarget).constData());
    FCurrentFileTime = QDateTime();
    URL = url;
    FileName = FCurrentTarget;
    MaxMemorySize = 1 << 20;
    Start();
}

void TupdAutoUpdater::FileStart(const TupdHeaderInfo& headers, bool& continueTransfer)
{
    if (headers.StatusCode != 200 && headers.StatusCode != 206)
        return; // an error page: the outcome says what happened
    FCurrentFileTime = headers.LastModified;
    const int64_t size = headers.FileSize;
    if (FWizard)
        FWizard->SetFileSize(updMessages::FormatMessage(updMessages::msgFileSize, double(size) / 1024));
    if (MiscFilesUpgrade == TupdMiscFilesUpgradeBehavior::mfuOnlyIfSizeDifferent && size != 0 && FFileList.Count() > 1) {
        const QString local = FCurrentTarget.chopped(5);
        if (QFileInfo(local).fileName().compare(QFileInfo(ProgramFileName).fileName(), Qt::CaseInsensitive) != 0 &&
            QFileInfo::exists(local))
            continueTransfer = updUtils::GetFileSize64(local) != size;
    }
    if (OnFileStart)
        OnFileStart(this, URL, size, FCurrentFileTime, continueTransfer);
}

void TupdAutoUpdater::FileDone()
{
    if (FCurrentFileTime.isValid())
        updUtils::SetFileTimes(FCurrentTarget, FCurrentFileTime, FCurrentFileTime);
    FArrived << FTargets.value(FFileIndex);
    if (OnFileDone)
        OnFileDone(this, FCurrentTarget);
    NextFile();
}

void TupdAutoUpdater::FileProgress(const TupdProgress& p)
{
    const int count = std::max(1, FFileList.Count());
    const uint8_t total = uint8_t(p.PercentDone / count + updUtils::Percent(FFileIndex, count));
    if (OnProgress)
        OnProgress(this, URL, p.TotalSize, p.BytesRead, p.ElapsedSeconds, p.EstimatedSecondsLeft, p.PercentDone, total,
                   p.TransferRate);
    if (FWizard) {
        FWizard->SetProgress(p.PercentDone, total);
        FWizard->SetRate(updMessages::FormatMessage(updMessages::msgTransferRate, double(std::max(0.0f, p.TransferRate))));
        const int64_t s = std::max<int64_t>(0, p.EstimatedSecondsLeft);
        FWizard->SetTimeLeft(updMessages::FormatMessage(updMessages::msgTimeLeft, int(s / 3600), int((s / 60) % 60),
                                                        int(s % 60)));
    }
}

void TupdAutoUpdater::LostFile(int status)
{
    if (Failure() == TupdFailure::LocalFile) {
        // The server's answer was whole, this computer could not keep it (a full disk, ...):
        // skipping the file would install part of an update.
        FLastProblem = QStringLiteral("The update was not installed. %1").arg(LastError());
        ShowMessage(FLastProblem, updMsgBox::IconError);
        Abort();
        return;
    }
    bool continueUpgrade = false;
    if (OnLostFile)
        OnLostFile(this, URL, status, continueUpgrade);
    if ((ShowMessages & mLostFile) && MessageBox) {
        QString text = updMessages::FormatMessage(updMessages::msgFileNotFound, URLFileName().toUtf8().constData());
        if (const QString own = ProblemText(); !own.isEmpty())
            text = own + QStringLiteral("\n\n") + text.section(QStringLiteral("\n\n"), 1); // the question stays
        // An answer in a coding that cannot be read came with a success status: the caption
        // names the coding instead.
        const QString caption = Failure() == TupdFailure::ContentCoding
                                    ? updMessages::LoadMessage(21) + QStringLiteral(": Content-Encoding ") +
                                          Headers().ContentEncoding
                                    : updMessages::LoadMessage(21) + QStringLiteral(" #") + QString::number(status);
        continueUpgrade = MessageBox(caption, text, 0x1034) == updMsgBox::IdYes;
    }
    if (continueUpgrade) {
        ++FFilesFailed;
        NextFile();
    } else {
        Abort();
    }
}

void TupdAutoUpdater::WizardClosed(bool abort)
{
    if (!FWizard)
        return;
    const bool completed = FAwaitingWizard;
    CloseWizard();
    if (abort)
        Abort();
    else if (completed)
        DownloadsComplete();
}

void TupdAutoUpdater::CloseWizard()
{
    FAwaitingWizard = false;
    FWizard.reset();
    SignalCheckDone();
}

void TupdAutoUpdater::DownloadsComplete()
{
    FDownloadsDone = true;
    bool restart = true;
    if (OnEndUpgrade)
        OnEndUpgrade(this, restart);
    if (restart)
        HandOver();
    else
        Finish();
}

void TupdAutoUpdater::HandOver()
{
    auto fail = [this](const QString& problem) {
        FLastProblem = problem;
        if (!problem.isEmpty())
            ShowMessage(problem, updMsgBox::IconError);
        Finish();
    };
    if (FArrived.isEmpty())
        return fail(QString());
    if (BeforeHandOver && !BeforeHandOver())
        return fail(QString());
    updHandOver::TPrepared prepared;
    QString error;
    prepared.Folder = QDir::cleanPath(FPrivateFolder);
    prepared.Hold = std::move(FPrivateHold);
    if (!updHandOver::Prepare(FArrived, prepared, error))
        return fail(QStringLiteral("The update was not installed. %1").arg(error));
    const QStringList arguments = updHandOver::InstallerArguments(ProgramFileName, FRestartParams, prepared.Queue,
                                                                  ProgramProcessId, FSetup ? 1 : 0);
    // The installer goes on holding the folder after this program has let go of it.
    prepared.Hold.ShareWithChildren();
    const bool started = StartInstaller ? StartInstaller(prepared.Installer, arguments, error)
                                        : updHandOver::StartDetached(prepared.Installer, arguments, error);
    // Not started: Finish removes the private folder with the rest.
    if (!started)
        return fail(QStringLiteral("The update was not installed. %1").arg(error));
    // From here the installer owns the downloaded files.
    FDownloading = false;
    FPrivateFolder.clear();
    Finish();
    if (OnDoOwnCloseAppMethod)
        OnDoOwnCloseAppMethod(this);
    else if (QCoreApplication::instance())
        QCoreApplication::quit();
}

void TupdAutoUpdater::DeleteLeftovers()
{
    for (const QString& target : FTargets)
        QFile::remove(target + QLatin1String(updHandOver::TempSuffix));
    if (ProgramFolder.isEmpty())
        return;
    QDir folder(ProgramFolder);
    for (const QString& name : folder.entryList({QStringLiteral("*.uTMP")}, QDir::Files | QDir::Hidden | QDir::System))
        folder.remove(name);
}

void TupdAutoUpdater::Finish()
{
    FInfoMode = false;
    SignalCheckDone();
    if (Busy())
        TupdCustomHTTP::Abort(true);
    if (FWizard)
        CloseWizard();
    if (FDownloading) {
        FDownloading = false;
        DeleteLeftovers();
    }
    if (!FPrivateFolder.isEmpty()) {
        updHandOver::RemoveFolder({QDir::cleanPath(FPrivateFolder), {}, {}, {}});
        FPrivateFolder.clear();
        FPrivateHold.Release();
    }
}

void TupdAutoUpdater::Abort()
{
    FAborted = true;
    Finish();
    if (OnAborted)
        OnAborted(this);
}
