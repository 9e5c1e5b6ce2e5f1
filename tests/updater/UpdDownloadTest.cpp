#include "updater/UpdAutoUpdater.h"
#include "updater/UpdHandOver.h"

#include "support/TmpfsMount.h"
#include "support/TestHttpsServer.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Records what the component shows in its wizard.
class TRecordingWizard : public TupdWizardView {
public:
    explicit TRecordingWizard(QStringList& log) : FLog(log) {}
    void SetLocation(const QString& url) override { FLog << "location " + url.section('/', -1); }
    void SetCounter(const QString& text) override { FLog << text; }
    void SetFileSize(const QString& text) override { FLog << text; }
    void SetRate(const QString&) override {}
    void SetTimeLeft(const QString&) override {}
    void SetProgress(int, int all) override { FLog << QStringLiteral("all %1").arg(all); }
    void ShowWizardCompleted() override { FLog << QStringLiteral("completed"); }
    void ShowSetupReady() override { FLog << QStringLiteral("setup ready"); }

private:
    QStringList& FLog;
};

class UpdDownloadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Server = new TTestHttpsServer;
        Server->PutFile(QStringLiteral("one.bin"), QByteArray(70000, 'a'));
        Server->PutFile(QStringLiteral("two.dat"), "second file");
    }
    static void TearDownTestSuite() { delete Server; }
    void SetUp() override
    {
        ASSERT_TRUE(Server->Ok() && Program.isValid());
        U.CAFile = Server->CAFile();
        U.ConnectTimeoutMs = 5000;
        U.StallTimeoutSeconds = 5;
        U.VersionControl = TupdAutoUpdaterVersionControl::byNumber;
        U.VersionNumber = QStringLiteral("1.0");
        U.SetLanguage(TupdAutoUpdaterLanguage::wlEnglish);
        U.InfoFileURL = Server->Url(QStringLiteral("/files/info.txt"));
        U.ShowMessages = AllShowMessages & ~unsigned(mAskUpgrade);
        U.ProgramFolder = Program.path() + QLatin1Char('/');
        U.ProgramFileName = U.ProgramFolder + QStringLiteral("app");
        U.MessageBox = [this](const QString& caption, const QString& text, int flags) {
            Log << caption + QLatin1Char('|') + text.section('\n', 0, 0) + QLatin1Char('|') + QString::number(flags);
            return Answer;
        };
        U.CreateWizard = [this](TupdAutoUpdater*) { return std::make_unique<TRecordingWizard>(Log); };
        U.StartInstaller = [this](const QString& installer, const QStringList& args, QString&) {
            Installer = installer;
            Arguments = args;
            QFile q(args.value(2));
            if (q.open(QIODevice::ReadOnly))
                Queue = q.readAll();
            return true;
        };
        U.OnDoOwnCloseAppMethod = [this](TupdAutoUpdater*) { Log << QStringLiteral("close"); };
        U.OnAborted = [this](TupdAutoUpdater*) { Log << QStringLiteral("aborted"); };
        U.OnConnLost = [this](TupdAutoUpdater*) { Log << QStringLiteral("connlost"); };
    }
    void TearDown() override
    {
        if (!Installer.isEmpty()) {
            updHandOver::TPrepared p{QFileInfo(Installer).absolutePath(), Installer, Arguments.value(2), {}};
            updHandOver::RemoveFolder(p);
        }
    }
    void Update(const QByteArray& files)
    {
        Server->PutFile(QStringLiteral("info.txt"), "#version=2.0\r\n" + files);
        U.CheckUpdate(false);
        ASSERT_TRUE(ProcessEventsUntil([&] { return !U.Busy(); }, 20000));
        ProcessEventsUntil([] { return false; }, 50);
    }
    QStringList Leftovers() const
    {
        QStringList found;
        QDirIterator it(Program.path(), {QStringLiteral("*.uTMP")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next();
        return found;
    }
    QByteArray Url(const char* path) const { return Server->Url(QString::fromUtf8(path)).toUtf8(); }

    static TTestHttpsServer* Server;
    QTemporaryDir Program;
    std::unique_ptr<TupdAutoUpdater> Updater = std::make_unique<TupdAutoUpdater>(); // gone when the program ends
    TupdAutoUpdater& U = *Updater;
    QStringList Log, Arguments;
    QString Installer;
    QByteArray Queue;
    int Answer = updMsgBox::IdNo;
};
TTestHttpsServer* UpdDownloadTest::Server = nullptr;

} // namespace

TEST_F(UpdDownloadTest, TwoFilesArriveBesideTheirTargetsAndAreQueuedForTheInstaller)
{
    // Progress tells the file's own size, from a server that would compress what it is offered.
    QMap<QString, QPair<int64_t, int64_t>> sizes;
    U.OnProgress = [&](TupdAutoUpdater*, const QString& url, int64_t size, int64_t read, int64_t, int64_t, uint8_t,
                       uint8_t, float) { sizes[url.section('/', -1)] = {size, read}; };
    Update("#url=" + Url("/files/one.bin") + "\r\n#url2=" + Url("/files/two.dat") + "=sub\\two.dat\r\n");
    // The wizard followed both files and waits on its completed page for its Finish button.
    EXPECT_TRUE(Log.contains(QStringLiteral("Downloading 2 of 2")));
    EXPECT_TRUE(Log.contains(QStringLiteral("File size: 68.4 Kb")));
    EXPECT_TRUE(Log.contains(QStringLiteral("all 100")));
    EXPECT_EQ(sizes.value(QStringLiteral("one.bin")), qMakePair(int64_t(70000), int64_t(70000)));
    EXPECT_EQ(sizes.value(QStringLiteral("two.dat")), qMakePair(int64_t(11), int64_t(11)));
    ASSERT_EQ(Log.last(), QStringLiteral("completed"));
    EXPECT_TRUE(Installer.isEmpty());
    U.WizardClosed(false);

    const QString dir = U.ProgramFolder;
    EXPECT_EQ(Queue, (dir + "one.bin\r\n" + dir + "sub/two.dat\r\n").toUtf8());
    EXPECT_TRUE(QFileInfo::exists(Arguments.value(2))) << "the queue is the installer's from here";
    EXPECT_EQ(U.FileList().GetValue(1), dir + "sub/two.dat");
    QFile one(dir + "one.bin.uTMP");
    ASSERT_TRUE(one.open(QIODevice::ReadOnly));
    EXPECT_EQ(one.readAll(), QByteArray(70000, 'a'));
    EXPECT_EQ(QFileInfo(one).lastModified().toUTC(), QDateTime(QDate(1994, 11, 6), QTime(8, 49, 37), Qt::UTC));
    EXPECT_TRUE(QFile::exists(dir + "sub/two.dat.uTMP"));
    EXPECT_EQ(Arguments.mid(0, 2), QStringList({U.ProgramFileName, U.RestartParams()}));
    EXPECT_EQ(Arguments.value(3).toLongLong(), U.ProgramProcessId);
    EXPECT_EQ(Arguments.value(4), QStringLiteral("0"));
    EXPECT_EQ(Log.last(), QStringLiteral("close"));
}

TEST_F(UpdDownloadTest, EveryEndThatIsNoHandOverLeavesNoDownloadedFileAndSaysWhy)
{
    // Each end is told in words of its own; targets are checked before the question is asked.
    const QByteArray first = "#url=" + Url("/files/one.bin") + "\r\n";
    QTemporaryDir outside, temp;
    ASSERT_EQ(symlink(QFile::encodeName(outside.path()).constData(),
                      QFile::encodeName(Program.path() + QStringLiteral("/out")).constData()), 0);
    const QByteArray oldTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temp.path())); // where an external setup's folder is made
    const QByteArray missing = "#url2=" + Url("/files/missing.bin");
    const struct {
        QByteArray files;
        int answer;
        const char* told; // a pattern for the last box or event
        bool asked;
        const char* folder = nullptr; // the program's, when not the test's own
        qint64 diskLeft = -1;         // the program's folder on a full disk with this much room
        int rateWindow = 30;
    } cases[] = {
        // A folder the user cannot write (a system-wide install) is told before anyone is asked.
        {first, updMsgBox::IdNo, "\\|.* is installed in \"/proc/\", where you cannot replace files", false, "/proc/"},
        {first + missing, updMsgBox::IdNo, "^Error #404\\|File missing.bin not found or inaccessible.\\|4148$", true},
        {first + "#url2=" + Url("/cut/5000"), updMsgBox::IdNo, "^Application update wizard\\|Connection with remote", true},
        {first + "#url2=" + Url("/part/one.bin"), updMsgBox::IdNo, "^Application update wizard\\|Connection with", true},
        {first + "#url2=" + Url("/files/two.dat") + "=../two.dat", updMsgBox::IdNo, "outside the program's folder", false},
        {first + "#url2=" + Url("/files/two.dat") + "=%temp%two.dat", updMsgBox::IdNo, "outside the program's", false},
        {first + "#url2=" + Url("/files/two.dat") + "=out/two.dat", updMsgBox::IdNo, "outside the program's", false},
        // An external setup needs no folder the user may write.
        {"#method=1\r\n" + first + missing, updMsgBox::IdNo, "^Error #404\\|File missing.bin not found", true, "/proc/"},
        // Nothing but the setup named by the update is ever run: without it, what came with it goes.
        {"#method=1\r\n" + missing.mid(0, 4) + missing.mid(5) + "\r\n#url2=" + Url("/files/one.bin"), updMsgBox::IdYes,
         "\\|The update was not installed: its setup program missing.bin could not be fetched.\\|48$", true},
        {first + "#url2=http://127.0.0.1:1/two.dat", updMsgBox::IdNo,
         "\\|The address http://127.0.0.1:1/two.dat was refused: updates are fetched over https only.\\|16$", true},
        {first + "#url2=" + Url("/goto/http/127.0.0.1:1/two.dat"), updMsgBox::IdNo,
         "^Error #302\\|The address https://.* was refused: the server sent the request on to http://127.0.0.1:1/two",
         true},
        // The skip question names the unreadable coding, not the success status it came with.
        {first + "#url2=" + Url("/coded/two.dat/compress"), updMsgBox::IdNo,
         "^Error: Content-Encoding compress\\|File compress arrived in a content coding that cannot be read "
         "\\(compress\\).\\|4148$",
         true},
        // A small answer that decodes to far more than it announced, and a trickle.
        {first + "#url2=" + Url("/bomb/64"), updMsgBox::IdNo,
         "\\|File 64 was not accepted. It decodes to more than the 269 bytes the server announced.\\|16$", true},
        {first + "#url2=" + Url("/trickle"), updMsgBox::IdNo,
         "\\|The transfer of trickle was given up: less than 16 KB a second arrived over 2 seconds.\\|16$", true, nullptr,
         -1, 2},
        // A full disk, below and above the file buffer's size (the small one meets it only when
        // flushed): the system's reason, and no file left.
        {"#url=" + Url("/files/two.dat"), updMsgBox::IdNo, "not installed. Cannot write .*No space left on device\\|16$", true,
         nullptr, 0},
        {first, updMsgBox::IdNo, "not installed. Cannot write .*No space left on device\\|16$", true, nullptr, 0},
        // a disk that fills up part way through a write
        {first, updMsgBox::IdNo, "not installed. Cannot write .*No space left on device\\|16$", true, nullptr, 8192},
        // Every file missing and skipped: nothing to install, no "completed" page.
        {missing.mid(0, 4) + missing.mid(5), updMsgBox::IdYes, "\\|None of the update's files could be fetched", true},
    };
    U.ShowMessages |= mAskUpgrade;
    U.AskUpgrade = [this](const QString&) {
        Log << QStringLiteral("asked");
        return true;
    };
    QString skipped; // the full-disk rows, where no disk can be mounted; the others still run
    for (const auto& c : cases) {
        SCOPED_TRACE(c.told);
        Log.clear();
        Answer = c.answer;
        const std::unique_ptr<TTmpfsMount> disk(c.diskLeft >= 0 ? new TTmpfsMount : nullptr);
        if (disk && !disk->SkipReason().isEmpty()) {
            skipped = disk->SkipReason();
            continue;
        }
        U.ProgramFolder = c.folder ? QString::fromUtf8(c.folder) : (disk ? disk->Folder() : Program.path()) + '/';
        if (disk) {
            ASSERT_TRUE(disk->Fill(c.diskLeft));
        }
        U.RateWindowSeconds = c.rateWindow;
        Update(c.files);
        EXPECT_FALSE(Log.filter(QRegularExpression(QString::fromUtf8(c.told))).isEmpty())
            << Log.join(QLatin1Char(',')).toStdString();
        EXPECT_EQ(Log.contains(QStringLiteral("asked")), c.asked);
        EXPECT_FALSE(Log.contains(QStringLiteral("completed")) || Log.contains(QStringLiteral("setup ready")));
        EXPECT_EQ(Leftovers(), QStringList());
        EXPECT_TRUE(Installer.isEmpty());
        EXPECT_FALSE(QFile::exists(Program.path() + "/../two.dat"));
        // (the full disk is mounted in the temporary folder)
        EXPECT_TRUE(QDir(outside.path()).isEmpty() && QDir(temp.path()).count() == (disk ? 3 : 2));
        EXPECT_TRUE(!disk || (Log.last() == "aborted" && QDir(disk->Folder()).entryList(QDir::Files).isEmpty()));
    }
    // An installer that cannot be started takes its private folder with it.
    U.StartInstaller = [](const QString&, const QStringList&, QString& error) { return error = "refused", false; };
    Update(first);
    U.WizardClosed(false);
    EXPECT_EQ(Log.last(), QStringLiteral("Application update wizard|The update was not installed. refused|16"));
    EXPECT_TRUE(QDir(temp.path()).isEmpty());
    oldTemp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", oldTemp);
    // The user aborts from the wizard while the second file stalls; a download left by an
    // earlier run goes too.
    QFile(Program.path() + "/earlier.uTMP").open(QIODevice::WriteOnly);
    Log.clear();
    U.OnProgress = [this](TupdAutoUpdater*, const QString& url, int64_t, int64_t, int64_t, int64_t, uint8_t, uint8_t,
                          float) {
        if (url.contains(QLatin1String("stall")))
            U.WizardClosed(true);
    };
    Update(first + "#url2=" + Url("/stall/x?s=3"));
    EXPECT_TRUE(Log.contains(QStringLiteral("aborted")));
    EXPECT_EQ(Leftovers(), QStringList());
    EXPECT_TRUE(U.Aborted());
    if (!skipped.isEmpty())
        GTEST_SKIP() << "the full-disk rows did not run: " << skipped.toStdString();
}

// "Only if the size differs": a file whose local copy has the announced size is not fetched,
// except the program itself (its name in any letter case), a file of unknown size, and the
// file of a single-file update.
TEST_F(UpdDownloadTest, OnlyFilesWhoseSizeDiffersAreFetched)
{
    using B = TupdMiscFilesUpgradeBehavior;
    const QByteArray one = "#url=" + Url("/files/one.bin") + "\r\n";
    const struct {
        B behavior;
        QByteArray files;
        const char* local; // a file in the program folder
        int localSize;
        const char* queued;
    } cases[] = {
        {B::mfuAlwaysDownload, one + "#url2=" + Url("/files/two.dat"), "two.dat", 11, "one.bin two.dat"},
        {B::mfuOnlyIfSizeDifferent, one + "#url2=" + Url("/files/two.dat"), "two.dat", 11, "one.bin"},
        {B::mfuOnlyIfSizeDifferent, one + "#url2=" + Url("/whole/two.dat"), "two.dat", 11, "one.bin"}, // a 206
        {B::mfuOnlyIfSizeDifferent, one + "#url2=" + Url("/files/two.dat"), "two.dat", 10, "one.bin two.dat"},
        {B::mfuOnlyIfSizeDifferent, "#url=" + Url("/files/two.dat"), "two.dat", 11, "two.dat"},
        {B::mfuOnlyIfSizeDifferent, one + "#url2=" + Url("/files/two.dat") + "=APP", "APP", 11, "one.bin APP"},
        {B::mfuOnlyIfSizeDifferent, one + "#url2=" + Url("/nolength"), "nolength", 0, "one.bin nolength"},
        // in a coding the server forces, the length told is not the file's: its size is not known
        {B::mfuOnlyIfSizeDifferent, one + "#url2=" + Url("/coded/two.dat/gzip"), "gzip", 31, "one.bin gzip"},
    };
    U.Wizard.Enabled = false;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.files.toStdString());
        QTemporaryDir program;
        U.ProgramFolder = program.path() + QLatin1Char('/');
        U.ProgramFileName = U.ProgramFolder + QStringLiteral("app");
        U.MiscFilesUpgrade = c.behavior;
        QFile local(U.ProgramFolder + c.local);
        ASSERT_TRUE(local.open(QIODevice::WriteOnly) && local.write(QByteArray(c.localSize, 'l')) == c.localSize);
        local.close();
        Update(c.files);
        EXPECT_EQ(QString::fromUtf8(Queue).remove(U.ProgramFolder).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts),
                  QString::fromUtf8(c.queued).split(QLatin1Char(' ')));
        TearDown();
        Installer.clear();
        Queue.clear();
    }
}

TEST_F(UpdDownloadTest, ACancelledSavePromptStartsNothing)
{
    U.Wizard.Enabled = false;
    U.BeforeHandOver = [] { return false; };
    Update("#url=" + Url("/files/one.bin"));
    EXPECT_TRUE(Installer.isEmpty());
    EXPECT_EQ(Leftovers(), QStringList());
}

// A program that ends while its last page waits (closed, killed, logged out) leaves the update's
// downloads. A start meanwhile leaves them to it; the next start after it ended removes them, and
// only them.
TEST_F(UpdDownloadTest, TheDownloadsOfAProgramEndedAtItsLastPageGoAtTheNextStart)
{
    QTemporaryDir temp;
    const QByteArray oldTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temp.path()));
    const auto restore = qScopeGuard([&] { oldTemp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", oldTemp); });
    Update("#url=" + Url("/files/one.bin") + "\r\n#url2=" + Url("/files/two.dat") + "=sub\\two.dat\r\n");
    ASSERT_EQ(Log.last(), QStringLiteral("completed"));
    const QString mine = Program.path() + QStringLiteral("/mine.uTMP");
    QFile user(mine);
    ASSERT_TRUE(user.open(QIODevice::WriteOnly) && user.write("the user's") > 0);
    user.close();
    const QStringList all = Leftovers();
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(updHandOver::RecoverInterrupted(U.ProgramFolder), QStringList());
    EXPECT_EQ(Leftovers(), all);
    Updater.reset();
    EXPECT_EQ(Leftovers(), all);
    EXPECT_EQ(updHandOver::RecoverInterrupted(Program.path()), QStringList());
    EXPECT_EQ(Leftovers(), QStringList(mine));
    EXPECT_TRUE(QDir(temp.path()).isEmpty());
}
