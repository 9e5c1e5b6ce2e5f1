#include "updater/UpdHandOver.h"

#include "support/TmpfsMount.h"
#include "updater/installer/UpdInstallation.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace updHandOver;

// The real installer program is run on a program folder "q" of stand-ins: files, links, and a
// program that records how it was started again. "q2" beside it shares the beginning of its name.
namespace {

QByteArray ReadAll(const QString& name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void Write(const QString& name, const QByteArray& data, QFile::Permissions permissions = {})
{
    QFile f(name);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(name).absolutePath()) && f.open(QIODevice::WriteOnly) &&
                f.write(data) == data.size() && (!permissions || f.setPermissions(permissions)));
}

mode_t Mode(const QString& name)
{
    struct stat st {};
    return ::stat(QFile::encodeName(name).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Every name in the folder and below, links not followed, sorted, joined by blanks.
std::string Entries(const QString& folder)
{
    QStringList found;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next().mid(folder.size() + (folder.endsWith(QLatin1Char('/')) ? 0 : 1));
    found.sort();
    return found.join(QLatin1Char(' ')).toStdString();
}

struct TInstallerRun {
    QTemporaryDir Top;
    TPrepared Prepared;

    TInstallerRun() { QDir(Top.path()).mkpath(QStringLiteral("q2")); }
    ~TInstallerRun() { RemoveFolder(Prepared); }
    QString Folder() const { return Top.path() + QStringLiteral("/q/"); }
    QString ProgramFile() const { return Folder() + QStringLiteral("app"); }
    QString Recorded() const { return Folder() + QStringLiteral("started.txt"); }
    // The stand-in program, 0700, recording its arguments under the tag.
    void WriteProgram(const char* tag, const QString& name = QString()) const
    {
        Write(name.isEmpty() ? ProgramFile() : name,
              QByteArray("#!/bin/sh\necho \"") + tag + "[$*]\" > \"$(dirname \"$0\")/started.txt\"\n",
              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void Prepare(const QStringList& queue)
    {
        QString error;
        ASSERT_TRUE(updHandOver::Prepare(queue, Prepared, error)) << error.toStdString();
        EXPECT_EQ(Mode(Prepared.Installer), 0700u);
    }
    QStringList Arguments(int method, qint64 pid) const
    {
        return InstallerArguments(ProgramFile(), QStringLiteral("/afterupgrade"), Prepared.Queue, pid, method);
    }
    // Starts the installer as the program does: the hold on the private folder passes to it.
    void Start(QProcess& installer, int method = 0, qint64 pid = 0)
    {
        Prepared.Hold.ShareWithChildren();
        installer.start(Prepared.Installer, Arguments(method, pid));
        Prepared.Hold.Release();
    }
    // Runs the installer and waits until it has ended and started the program again (process
    // id 0: the program has ended).
    int Run(int method = 0, qint64 pid = 0)
    {
        QProcess installer;
        Start(installer, method, pid);
        EXPECT_TRUE(installer.waitForFinished(30000));
        return installer.exitCode();
    }
    // What the program started again by the installer recorded: it runs detached, so on a busy
    // machine it may not have written its line yet when the installer ends.
    QByteArray Restarted() const
    {
        QByteArray line = ReadAll(Recorded());
        for (int i = 0; i < 2000 && !line.endsWith('\n'); ++i) {
            QThread::msleep(10);
            line = ReadAll(Recorded());
        }
        return line;
    }
};

} // namespace

TEST(UpdHandOver, TargetsStayInsideTheProgramFolder)
{
    const QString dir = QStringLiteral("/opt/q/");
    const struct {
        const char* url;
        const char* target;
        const char* expected; // "" = refused
    } cases[] = {
        {"https://h/d/app.bin?x=1", "", "/opt/q/app.bin"},
        {"https://h/d/a", "%CURRENT%help/q.html", "/opt/q/help/q.html"},
        {"https://h/d/a", "/etc/passwd", ""},
        {"https://h/d/a", "C:\\app.exe", ""},
        {"https://h/d/a", "sub/../../escape", ""},
        {"https://h/d/a", "%desktop%x.bin", ""},
        {"https://h/d/", "", ""},
        {"https://h/d/..", "", ""},
        {"https://h/d/a", "sub/", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolveTarget(QString::fromUtf8(c.url), QString::fromUtf8(c.target), dir), QString::fromUtf8(c.expected))
            << c.url << " = " << c.target;
}

// Paths below the run's top folder, "P/" the private folder; a link is "destination>name";
// kept: a download left alone, its target being refused; told: a piece of what the program's next
// start says (nothing when the temporary folder has no room for the installer's word).
enum TSpecial { Plain, FullTemporaryFolder, NoRoomForTheQueue, MountedTarget };
struct TRefusal {
    const char* name;
    QStringList links, downloads, queue;
    const char* told;
    const char* kept = "";
    int method = 0;
    TSpecial special = Plain;
};
const TRefusal Refusals[] = {
    {"a parent step", {}, {"q/sub/x", "q/data.uTMP"}, {"q/app", "q/sub/../data"}, "q/sub/../data", "data.uTMP"},
    {"a folder whose name begins with the program folder name", {}, {"q2/x.uTMP"}, {"q/app", "q2/x"}, "q2/x"},
    {"a current folder step", {}, {"q/data.uTMP"}, {"q/app", "q/./data"}, "q/./data", "data.uTMP"},
    {"a folder link that leads out", {"q2>q/out"}, {"q2/x.uTMP"}, {"q/app", "q/out/x"}, "q/out/x"},
    {"a file link that leads out", {"q2/lib.so>q/lib.so"}, {"q/lib.so.uTMP"}, {"q/app", "q/lib.so"}, "q/lib.so",
     "lib.so.uTMP"},
    {"a link that leads nowhere", {"q2/none>q/none"}, {"q/none.uTMP"}, {"q/app", "q/none"}, "q/none", "none.uTMP"},
    {"a download that is a link", {"q2/secret>q/data.uTMP"}, {}, {"q/app", "q/data"}, "q/data.uTMP"},
    {"a download that is a folder", {}, {"q/new.uTMP/inside"}, {"q/app", "q/new"}, "q/new.uTMP", "new.uTMP"},
    {"a folder in the way", {}, {"q/blocked/inside", "q/blocked.uTMP"}, {"q/app", "q/blocked"}, "q/blocked"},
    {"no download", {}, {}, {"q/app", "q/nothing"}, "q/nothing.uTMP"},
    {"a target named twice", {}, {"q/data.uTMP"}, {"q/app", "q/data", "q/data"}, "q/data"},
    {"a journal that cannot be written", {}, {}, {"q/app"}, "", "", 0, FullTemporaryFolder},
    {"a queue that cannot be written", {}, {}, {"q/app"}, "", "", 0, NoRoomForTheQueue},
    // A mount point cannot be renamed over: every entry moved before it goes back, links too,
    // and never a copy kept by an earlier run.
    {"a replacement that fails half way", {"q/data>q/link"},
     {"q/app.uOLD", "q/link.uTMP", "q/fresh.uTMP", "q/data.uTMP", "q/busy.uTMP"},
     {"q/app", "q/link", "q/fresh", "q/data", "q/busy"}, "q/busy", "", 0, MountedTarget},
    {"a setup program that fails", {}, {"P/setup.uTMP"}, {"P/setup"}, "setup ended with exit code 3", "app.uTMP", 1},
    {"a setup outside the private folder", {}, {"q/setup.uTMP"}, {"q/setup"}, "q/setup", "app.uTMP setup.uTMP", 1},
};

void PrintTo(const TRefusal& row, std::ostream* out)
{
    *out << row.name;
}

class UpdInstallerRefusal : public ::testing::TestWithParam<TRefusal> {};
INSTANTIATE_TEST_SUITE_P(Rows, UpdInstallerRefusal, ::testing::ValuesIn(Refusals),
                         [](const ::testing::TestParamInfo<TRefusal>& info) {
                             QString name;
                             for (const QString& word : QString::fromUtf8(info.param.name).split(QRegularExpression("\\W+"),
                                                                                                 Qt::SkipEmptyParts))
                                 name += word.left(1).toUpper() + word.mid(1);
                             return name.toStdString();
                         });

// The installer refuses or undoes what it cannot install whole and changes nothing; the program
// it starts again tells why, once.
TEST_P(UpdInstallerRefusal, ChangesNothingAndTheNextStartTellsWhy)
{
    const TRefusal& row = GetParam();
    if (row.special != Plain && geteuid() != 0)
        GTEST_SKIP() << "this case mounts a file system, which needs root";
    const bool full = row.special == FullTemporaryFolder || row.special == NoRoomForTheQueue;
    const std::unique_ptr<TTmpfsMount> disk(full ? new TTmpfsMount(8192) : nullptr);
    if (disk && !disk->SkipReason().isEmpty())
        GTEST_SKIP() << disk->SkipReason().toStdString();
    TInstallerRun run;
    const QString top = run.Top.path() + QLatin1Char('/'), dir = run.Folder();
    const QByteArray oldTemp = qgetenv("TMPDIR"), busy = QFile::encodeName(dir + "busy");
    const auto restore = qScopeGuard([&] { oldTemp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", oldTemp); });
    if (disk)
        qputenv("TMPDIR", QFile::encodeName(disk->Folder()));
    QString error;
    ASSERT_TRUE(MakePrivateFolder(run.Prepared, error));
    const auto path = [&](const QString& p) {
        return p.startsWith(QLatin1String("P/")) ? run.Prepared.Folder + p.mid(1) : top + p;
    };
    run.WriteProgram("old");
    run.WriteProgram("new", dir + "app.uTMP");
    for (const char* name : {"q/data", "q/busy", "q2/secret", "q2/lib.so"})
        Write(top + name, name);
    for (const QString& link : row.links)
        ASSERT_TRUE(QFile::link(top + link.section('>', 0, 0), top + link.section('>', 1)));
    for (const QString& download : row.downloads)
        Write(path(download), "#!/bin/sh\nexit 3\n");
    const QRegularExpression notDownload(QStringLiteral("^(?!.*\\.u(TMP|OLD)$)"));
    QStringList queue, expected = QString::fromStdString(Entries(dir)).split(' ');
    for (const QString& target : row.queue)
        queue << path(target);
    const std::string outside = Entries(top + "q2");
    expected = expected.filter(notDownload) << "started.txt" << QString::fromUtf8(row.kept).split(' ', Qt::SkipEmptyParts);
    expected.sort();
    if (row.special == NoRoomForTheQueue) {
        disk->Fill();
        EXPECT_FALSE(updHandOver::Prepare(queue, run.Prepared, error));
        EXPECT_TRUE(error.contains("No space left on device") && Entries(disk->Folder()) == ".filler") << error.toStdString();
        return;
    }
    run.Prepare(queue);
    if (disk)
        disk->Fill();
    if (row.special == MountedTarget) {
        const QByteArray source = QFile::encodeName(top + "q2/secret");
        ASSERT_EQ(mount(source.constData(), busy.constData(), nullptr, MS_BIND, nullptr), 0);
    }

    EXPECT_NE(run.Run(row.method), 0);
    umount2(busy.constData(), MNT_DETACH);
    EXPECT_EQ(run.Restarted(), "old[]\n");
    EXPECT_EQ(Mode(dir + "app"), 0700u);
    for (const char* name : {"q/data", "q/busy", "q2/secret"})
        EXPECT_EQ(ReadAll(top + name), name);
    for (const QString& link : row.links.filter(notDownload))
        EXPECT_EQ(QFileInfo(top + link.section('>', 1)).symLinkTarget(), top + link.section('>', 0, 0));
    EXPECT_EQ(Entries(dir), expected.join(' ').toStdString()); // downloads gone
    EXPECT_EQ(Entries(top + "q2"), outside);
    const QStringList told = RecoverInterrupted(dir);
    if (*row.told) {
        ASSERT_EQ(told.size(), 1) << told.join('|').toStdString();
        EXPECT_TRUE(told[0].contains(QLatin1String("did not complete: ")) && told[0].contains(QString::fromUtf8(row.told)))
            << told[0].toStdString();
    } else {
        EXPECT_EQ(told, QStringList());
    }
    EXPECT_FALSE(QFileInfo::exists(run.Prepared.Folder));
    EXPECT_EQ(RecoverInterrupted(dir), QStringList());
}

// Starts the installer and kills it once it has made the given number of changes (entries made,
// moved in or removed) in the program folder and its private folder, or lets it end. Answers
// the changes seen.
int KillAfterChanges(TInstallerRun& run, int changes, qint64 program = 0)
{
    const int watch = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    for (const QString& folder : {run.Folder(), run.Prepared.Folder})
        inotify_add_watch(watch, QFile::encodeName(folder).constData(), IN_CREATE | IN_MOVED_TO | IN_DELETE);
    QProcess installer;
    run.Start(installer, 0, program);
    int seen = 0;
    alignas(inotify_event) char buffer[8192];
    while (seen < changes && (installer.waitForFinished(0), installer.state() != QProcess::NotRunning)) {
        pollfd p{watch, POLLIN, 0};
        const ssize_t n = poll(&p, 1, 10) > 0 ? read(watch, buffer, sizeof buffer) : 0;
        for (ssize_t at = 0; at < n;
             at += ssize_t(sizeof(inotify_event) + reinterpret_cast<inotify_event*>(buffer + at)->len))
            ++seen;
    }
    installer.kill(); // SIGKILL, and only while it runs
    installer.waitForFinished();
    close(watch);
    return seen;
}

TEST(UpdInstaller, AKilledInstallationEndsOnOneWholeVersion)
{
    constexpr int Files = 20, Kills = 40;
    const auto setUp = [](TInstallerRun& run) {
        run.WriteProgram("old");
        QStringList queue;
        for (int i = 0; i < Files; ++i) {
            queue << run.Folder() + QString::number(i + 10);
            if (i % 5 == 0) // links are moved and put back like files
                ASSERT_TRUE(QFile::link(QStringLiteral("app"), queue.last()));
            else if (i != 1) // the second one is new
                Write(queue.last(), "old", QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
            Write(queue.last() + ".uTMP", "new");
        }
        run.Prepare(queue);
    };
    // "old", "new", or "mixed"; a kept copy counts as mixed.
    const auto version = [](const TInstallerRun& run) {
        QSet<QByteArray> seen;
        for (int i = 0; i < Files; ++i) {
            const QFileInfo f(run.Folder() + QString::number(i + 10));
            const QByteArray content = ReadAll(f.filePath());
            seen << (f.symLinkTarget() == run.ProgramFile() || content == "<missing>" ? QByteArray("old") : content);
        }
        const bool kept = Entries(run.Folder()).find(".uOLD") != std::string::npos;
        return seen.size() == 1 && !kept ? *seen.begin() : QByteArray("mixed");
    };
    int changes = 0;
    {
        // Whole: after the program, which sees its own files to its end; with the old modes.
        TInstallerRun run;
        setUp(run);
        QProcess program;
        program.start(QStringLiteral("sh"), {"-c", "sleep 0.3; cat " + run.Folder() + "12 > " + run.Folder() + "../seen"});
        ASSERT_TRUE(program.waitForStarted());
        changes = KillAfterChanges(run, INT_MAX, program.processId());
        program.waitForFinished();
        EXPECT_EQ(ReadAll(run.Folder() + "../seen"), "old");
        ASSERT_EQ(version(run), "new");
        EXPECT_EQ(Mode(run.Folder() + "12"), 0640u);
        EXPECT_EQ(run.Restarted(), "old[/afterupgrade]\n");
        EXPECT_FALSE(QFileInfo::exists(run.Prepared.Folder));
    }
    for (int k = 0; k < Kills; ++k) {
        TInstallerRun run;
        setUp(run);
        const int at = 1 + k * changes / Kills;
        KillAfterChanges(run, at);
        // Ended by the program's next start (which goes back when downloads went missing meanwhile),
        // or by the same queue run again, which always finishes.
        for (const QString& name : QDir(run.Folder()).entryList({"*.uTMP"}, QDir::Files))
            if (k % 4 == 0)
                QFile::remove(run.Folder() + name);
        if (k % 2 == 0)
            RecoverInterrupted(run.Folder());
        else if (QFileInfo::exists(run.Prepared.Installer))
            run.Run();
        const QByteArray now = version(run);
        EXPECT_TRUE(now == "new" || (now == "old" && k % 2 == 0)) << now.data() << " after " << at << " changes";
        EXPECT_TRUE(now == "old" || Entries(run.Folder()).find(".uTMP") == std::string::npos);
    }
}

// An installation waits for another one of the same folder, but not for ever: a stuck holder of
// the folder's lock leaves everything as it was, and the program starts again and tells why.
TEST(UpdInstaller, WaitsABoundedTimeForTheProgramFolder)
{
    const struct {
        const char* name;
        int heldMs; // -1: throughout
    } cases[] = {{"held for two seconds", 2000}, {"held throughout", -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TInstallerRun run;
        run.WriteProgram("old");
        run.WriteProgram("new", run.Folder() + "app.uTMP");
        run.Prepare({run.ProgramFile()});
        updInstall::TFolderLock lock = updInstall::LockFolder(QFile::encodeName(run.Folder()).toStdString());
        ASSERT_TRUE(lock.Held());
        QProcess installer;
        run.Start(installer);
        if (c.heldMs >= 0) {
            QThread::msleep(c.heldMs);
            lock.Release();
        }
        ASSERT_TRUE(installer.waitForFinished(60000));
        EXPECT_EQ(run.Restarted(), c.heldMs >= 0 ? "new[/afterupgrade]\n" : "old[]\n");
        if (c.heldMs >= 0)
            continue;
        // The downloads stay until a start can take the folder's lock; the word is told at once.
        const QStringList told = RecoverInterrupted(run.Folder());
        ASSERT_EQ(told.size(), 1);
        EXPECT_TRUE(told[0].contains(QLatin1String("busy for more than"))) << told[0].toStdString();
        EXPECT_TRUE(QFileInfo::exists(run.Folder() + "app.uTMP"));
        lock.Release();
        EXPECT_EQ(RecoverInterrupted(run.Folder()), QStringList());
        EXPECT_EQ(Entries(run.Folder()), "app started.txt");
        EXPECT_FALSE(QFileInfo::exists(run.Prepared.Folder));
    }
}

// A start removes what no journal claims (an installer killed before it wrote its journal leaves its
// private folder and the downloads its queue names), but never the folder of an installer or a
// program still at work in it, nor one that concerns another program folder.
TEST(UpdInstaller, TheNextStartRemovesWhatNoJournalClaims)
{
    TInstallerRun run, other;
    const QString dir = run.Folder();
    run.WriteProgram("old");
    run.WriteProgram("new", dir + "app.uTMP");
    Write(dir + "data", "old");
    Write(dir + "data.uTMP", "new");
    run.Prepare({run.ProgramFile(), dir + "data"});
    Write(other.Folder() + "x.uTMP", "new");
    other.Prepare({other.Folder() + "x"});
    other.Prepared.Hold.Release(); // its program ended before it started the installer
    TPrepared filling;             // an external setup arriving
    QString error;
    ASSERT_TRUE(MakePrivateFolder(filling, error));
    Write(filling.Folder + "/setup.uTMP", "part");
    const auto cleanUp = qScopeGuard([&] { RemoveFolder(filling); });

    // The installer waits for a program that does not end, and is killed meanwhile.
    QProcess program, installer;
    program.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    ASSERT_TRUE(program.waitForStarted());
    run.Start(installer, 0, program.processId());
    ASSERT_TRUE(installer.waitForStarted());
    EXPECT_EQ(RecoverInterrupted(dir), QStringList());
    const std::string whole = "app app.uTMP data data.uTMP";
    EXPECT_EQ(Entries(dir), whole);
    EXPECT_TRUE(QFileInfo::exists(run.Prepared.Queue) && QFileInfo::exists(filling.Folder + "/setup.uTMP"));
    installer.kill();
    installer.waitForFinished();
    program.kill();
    program.waitForFinished();
    EXPECT_EQ(Entries(dir), whole);

    EXPECT_EQ(RecoverInterrupted(dir), QStringList());
    EXPECT_EQ(Entries(dir), "app data");
    EXPECT_EQ(ReadAll(dir + "data"), "old");
    EXPECT_FALSE(QFileInfo::exists(run.Prepared.Folder));
    EXPECT_TRUE(QFileInfo::exists(filling.Folder + "/setup.uTMP"));
    EXPECT_EQ(Entries(other.Folder()), "x.uTMP");
    EXPECT_TRUE(QFileInfo::exists(other.Prepared.Queue));
    filling.Hold.Release(); // the program that filled it ended
    RecoverInterrupted(dir);
    EXPECT_FALSE(QFileInfo::exists(filling.Folder));

    // An installer leaves that work to the start: a queue left behind may name its own downloads.
    TInstallerRun left;
    left.Prepare({dir + "data"});
    left.Prepared.Hold.Release();
    Write(dir + "data.uTMP", "new");
    run.Prepared = {};
    run.Prepare({dir + "data"});
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(ReadAll(dir + "data"), "new");
    EXPECT_TRUE(QFileInfo::exists(left.Prepared.Queue));
}

namespace {

// The journal an installation writes before its first change, every target with an old entry.
QByteArray Journal(const QString& folder, const QStringList& targets)
{
    QByteArray text = "quandrel installation 1\nfolder " + QFile::encodeName(QDir::cleanPath(folder)) + "\n";
    for (const QString& target : targets)
        text += "old " + QFile::encodeName(target) + "\n";
    return text + "begin\n";
}

} // namespace

// An installation that cannot be ended whole keeps its journal, and the program's next start ends it
// once the file system lets it: a roll-back refused half-way (a read-only folder), and a
// replacement whose last mark finds no room (the journal fills its page of a full disk).
TEST(UpdInstaller, AnInstallationThatCannotBeEndedKeepsItsJournal)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a file system needs root";
    for (const bool readOnly : {true, false}) {
        SCOPED_TRACE(readOnly ? "a read-only folder" : "no room for the last mark");
        TInstallerRun run;
        const QString dir = run.Folder(), lib = dir + "lib/";
        const std::unique_ptr<TTmpfsMount> disk(readOnly ? nullptr : new TTmpfsMount(8192));
        const QByteArray oldTemp = qgetenv("TMPDIR"), mounted = QFile::encodeName(QDir::cleanPath(lib));
        const auto restore = qScopeGuard([&] {
            umount2(mounted.constData(), MNT_DETACH);
            oldTemp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", oldTemp);
        });
        if (disk)
            qputenv("TMPDIR", QFile::encodeName(disk->Folder()));
        run.WriteProgram("old");
        QStringList targets;
        QByteArray journal;
        if (readOnly) {
            // Killed after two of three targets were replaced.
            for (const char* name : {"a", "b", "c"}) {
                targets << lib + name;
                Write(targets.last(), "old");
            }
            for (const QString& done : targets.mid(0, 2)) {
                ASSERT_TRUE(QFile::rename(done, done + ".uOLD"));
                Write(done, "new");
            }
            Write(targets.last() + ".uTMP", "new");
            journal = Journal(dir, targets);
        } else {
            // Names long enough for the journal to fill its page to the last byte.
            const int fixed = int(QFile::encodeName("old " + lib).size()) + 3 + 1;
            while ((journal = Journal(dir, targets)).size() < 4096) {
                const int pad = 4096 - int(journal.size()) - fixed > 252 ? 200 : 4096 - int(journal.size()) - fixed;
                targets << lib + QStringLiteral("%1").arg(targets.size(), 3, 10, QLatin1Char('0')) + QString(pad, 'x');
                Write(targets.last(), "old");
                Write(targets.last() + ".uTMP", "new");
            }
            ASSERT_EQ(journal.size(), 4096);
        }
        run.Prepare(targets);
        Write(run.Prepared.Folder + "/UpdaterJournal.txt", journal);
        if (readOnly) {
            ASSERT_EQ(mount(mounted.constData(), mounted.constData(), nullptr, MS_BIND, nullptr), 0);
            ASSERT_EQ(mount(nullptr, mounted.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), 0);
        } else {
            ASSERT_TRUE(disk->Fill());
        }

        EXPECT_EQ(run.Run() == 0, !readOnly);
        EXPECT_EQ(run.Restarted(), readOnly ? "old[]\n" : "old[/afterupgrade]\n");
        EXPECT_TRUE(QFileInfo::exists(run.Prepared.Folder + "/UpdaterJournal.txt"));
        EXPECT_EQ(ReadAll(targets[1]), "new");
        if (disk) {
            // A start that still finds no room keeps the journal too.
            EXPECT_EQ(RecoverInterrupted(dir), QStringList());
            EXPECT_TRUE(QFileInfo::exists(run.Prepared.Folder + "/UpdaterJournal.txt"));
            disk->Unfill();
        }
        if (readOnly) {
            // A start while another installation holds the folder only tells what did not complete.
            updInstall::TFolderLock other = updInstall::LockFolder(QFile::encodeName(dir).toStdString());
            QStringList told = RecoverInterrupted(dir);
            ASSERT_EQ(told.size(), 1);
            EXPECT_TRUE(told[0].contains(QLatin1String("did not complete: cannot"))) << told[0].toStdString();
            other.Release();
            // Still refused: the next start says so, and keeps the journal for the one after.
            told = RecoverInterrupted(dir);
            ASSERT_EQ(told.size(), 1);
            EXPECT_TRUE(told[0].contains(QLatin1String("could not be ended: cannot put back"))) << told[0].toStdString();
            EXPECT_TRUE(QFileInfo::exists(run.Prepared.Folder + "/UpdaterJournal.txt"));
            umount2(mounted.constData(), MNT_DETACH);
        }
        EXPECT_EQ(RecoverInterrupted(dir), QStringList());
        for (const QString& target : targets)
            EXPECT_EQ(ReadAll(target), readOnly ? "old" : "new");
        EXPECT_EQ(QDir(lib).entryList({"*.u*"}, QDir::Files), QStringList());
        EXPECT_FALSE(QFileInfo::exists(run.Prepared.Folder));
    }
}
