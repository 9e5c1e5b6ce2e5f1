#include "updater/UpdHandOver.h"

#include "support/ChildProcess.h"
#include "support/TmpfsMount.h"
#include "updater/installer/UpdInstallation.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/resource.h>
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
        // The installer's wait is the time it keeps the program folder open for its lock.
        const int watch = inotify_init1(IN_CLOEXEC);
        inotify_add_watch(watch, QFile::encodeName(run.Folder()).constData(), IN_OPEN | IN_CLOSE_NOWRITE | IN_ONLYDIR);
        QElapsedTimer clock;
        clock.start();
        run.Start(installer);
        if (c.heldMs >= 0) {
            QThread::msleep(c.heldMs);
            lock.Release();
        } else {
            qint64 opened = -1, closed = -1;
            alignas(inotify_event) char buffer[4096];
            while (closed < 0 && clock.elapsed() < 60000) {
                pollfd p{watch, POLLIN, 0};
                const ssize_t n = poll(&p, 1, 100) > 0 ? read(watch, buffer, sizeof buffer) : 0;
                for (ssize_t at = 0; at < n;) {
                    const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
                    if (e->len == 0 && (e->mask & IN_OPEN) && opened < 0)
                        opened = clock.elapsed();
                    else if (e->len == 0 && (e->mask & IN_CLOSE_NOWRITE) && opened >= 0 && closed < 0)
                        closed = clock.elapsed();
                    at += ssize_t(sizeof(inotify_event) + e->len);
                }
            }
            // The wait began after the clock started and ended before its end was read, so the
            // lower bound holds whatever the machine's load. The upper bound leaves two seconds
            // for the moment it takes to read the end of the wait on a busy machine.
            EXPECT_GE(closed, 10000);
            EXPECT_TRUE(opened >= 0 && closed - opened <= 12000) << opened << " to " << closed;
        }
        close(watch);
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

namespace {

// The second process of the tests below: "folder <path>" holds a private folder the way a start
// that reads the installers' word does, "journal <path>" holds a journal the way an installer at
// work does; each says "held" and keeps the hold until it reads a line (or its input ends).
int HoldChild(const QStringList& job)
{
    const QByteArray path = QFile::encodeName(job.value(1));
    updInstall::TFolderLock folder;
    int journal = -1;
    if (job.value(0) == QLatin1String("folder"))
        folder = updInstall::LockFolder(path.toStdString());
    else if (job.value(0) == QLatin1String("journal"))
        journal = open(path.constData(), O_RDWR | O_CLOEXEC);
    if (!folder.Held() && (journal < 0 || flock(journal, LOCK_EX | LOCK_NB) != 0))
        return 1;
    std::fputs("held\n", stdout);
    std::fflush(stdout);
    char line[16];
    return std::fgets(line, sizeof line, stdin) ? 0 : 3;
}
const bool HoldChildRegistered = RegisterChild("hold", &HoldChild);

// An installation of 20 files killed half way: the first ten are in place with their old
// files kept beside them, the others still wait as downloads. The installer is gone, and left
// word that the update did not complete.
QStringList KilledHalfWay(TInstallerRun& run)
{
    QStringList targets;
    for (int i = 0; i < 20; ++i) {
        targets << run.Folder() + QString::number(i + 10);
        Write(targets.last(), "old");
        Write(targets.last() + ".uTMP", "new");
    }
    run.Prepare(targets);
    for (const QString& done : targets.mid(0, 10)) {
        EXPECT_EQ(::link(QFile::encodeName(done).constData(), QFile::encodeName(done + ".uOLD").constData()), 0);
        EXPECT_EQ(::rename(QFile::encodeName(done + ".uTMP").constData(), QFile::encodeName(done).constData()), 0);
    }
    Write(run.Prepared.Folder + "/UpdaterJournal.txt", Journal(run.Folder(), targets));
    EXPECT_TRUE(updInstall::LeaveWord(QFile::encodeName(run.Prepared.Folder).toStdString(),
                                      QFile::encodeName(QDir::cleanPath(run.Folder())).toStdString(), "killed"));
    run.Prepared.Hold.Release();
    return targets;
}

// "new" when every target holds its new file and no download or kept file is left, else what is
// there.
std::string Version(const TInstallerRun& run, const QStringList& targets)
{
    QSet<QByteArray> seen;
    for (const QString& target : targets)
        seen << ReadAll(target);
    const std::string entries = Entries(run.Folder());
    const bool debris = entries.find(".uTMP") != std::string::npos || entries.find(".uOLD") != std::string::npos;
    return seen.size() == 1 && !debris ? seen.begin()->toStdString() : "mixed: " + entries;
}

} // namespace

// Two starts after a killed installation: the one that holds the program folder ends it at once,
// while the other (which finds the folder busy and only reads the installers' word) holds the
// private folder, however long it does. Only a process that holds the journal itself keeps it
// from being ended, and then the start says so; the next start ends it.
TEST(UpdInstaller, TheStartThatHoldsTheProgramFolderEndsAnInstallationCutShort)
{
    for (const char* held : {"folder", "journal"}) {
        SCOPED_TRACE(held);
        const bool folder = std::strcmp(held, "folder") == 0;
        TInstallerRun run;
        const QStringList targets = KilledHalfWay(run);
        QProcess holder;
        ASSERT_TRUE(StartChild(holder, "hold", {held, folder ? run.Prepared.Folder : run.Prepared.Folder + "/UpdaterJournal.txt"}));
        ASSERT_TRUE(holder.waitForReadyRead(60000) && holder.readLine() == "held\n");
        const QStringList told = RecoverInterrupted(run.Folder());
        if (folder) {
            EXPECT_EQ(told, QStringList());
            EXPECT_EQ(Version(run, targets), "new");
            // Whoever holds the folder may be reading its word: that, and the folder, stay for a
            // later start.
            EXPECT_TRUE(QFileInfo::exists(run.Prepared.Folder + "/UpdaterWord.txt"));
        } else {
            ASSERT_EQ(told.size(), 2);
            EXPECT_TRUE(told[0].contains(QLatin1String("did not complete: killed")));
            EXPECT_TRUE(told[1].contains(QLatin1String("could not be ended: ")) &&
                        told[1].contains(run.Prepared.Folder + "/UpdaterJournal.txt"))
                << told[1].toStdString();
            EXPECT_NE(Version(run, targets), "new");
        }
        holder.write("\n");
        ASSERT_TRUE(holder.waitForFinished(60000));
        EXPECT_EQ(holder.exitCode(), 0);
        const QStringList next = RecoverInterrupted(run.Folder());
        EXPECT_EQ(next.size(), folder ? 1 : 0);
        EXPECT_TRUE(!folder || next.value(0).contains(QLatin1String("did not complete: killed")));
        EXPECT_EQ(RecoverInterrupted(run.Folder()), QStringList());
        EXPECT_EQ(Version(run, targets), "new");
        EXPECT_FALSE(QFileInfo::exists(run.Prepared.Folder));
    }
}

// Only a private folder of this user's, closed to everybody else, is looked at: any other, and
// anything in it another user made, is left as it is and nothing is told of it.
TEST(UpdInstaller, WhatIsNotThisUsersOwnIsLeftAloneWithoutAWord)
{
    enum TPlant { OtherOwner, GroupWritable, WorldWritable, Link, OtherOwnersFiles };
    const struct {
        const char* name;
        TPlant plant;
        bool root; // chown needs it
    } rows[] = {{"another user's folder", OtherOwner, true},
                {"a folder its group can write", GroupWritable, false},
                {"a folder everybody can write", WorldWritable, false},
                {"a link to a folder elsewhere", Link, false},
                {"another user's files in a folder of this user's", OtherOwnersFiles, true}};
    const QByteArray oldTemp = qgetenv("TMPDIR");
    const auto restore = qScopeGuard([&] { oldTemp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", oldTemp); });
    bool skipped = false;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.root && geteuid() != 0) {
            skipped = true;
            continue;
        }
        QTemporaryDir top;
        const QString program = top.path() + "/q", temp = top.path() + "/t", planted = temp + "/quandrel-update-planted";
        const QString folder = row.plant == Link ? top.path() + "/elsewhere/private" : planted;
        ASSERT_TRUE(QDir().mkpath(program) && QDir().mkpath(folder) && QDir().mkpath(temp));
        ASSERT_EQ(chmod(QFile::encodeName(folder).constData(), 0700), 0);
        if (row.plant == Link) {
            ASSERT_TRUE(QFile::link(folder, planted));
        }
        qputenv("TMPDIR", QFile::encodeName(temp));
        // An installation to end, word to tell, and a download left by a program that ended.
        Write(program + "/a", "old");
        Write(program + "/a.uTMP", "new");
        Write(program + "/b.uTMP", "new");
        Write(folder + "/UpdaterJournal.txt", Journal(program, {program + "/a"}));
        const std::string native = QFile::encodeName(folder).toStdString();
        ASSERT_TRUE(updInstall::LeaveWord(native, QFile::encodeName(program).toStdString(), "planted"));
        TPrepared record;
        record.Folder = folder;
        QString error;
        ASSERT_TRUE(RecordDownloads(record, {program + "/b"}, error)) << error.toStdString();
        const std::string before = Entries(folder);
        switch (row.plant) {
        case OtherOwner: ASSERT_EQ(chown(native.c_str(), 65534, 65534), 0); break;
        case GroupWritable: ASSERT_EQ(chmod(native.c_str(), 0720), 0); break;
        case WorldWritable: ASSERT_EQ(chmod(native.c_str(), 0703), 0); break;
        case Link: break;
        case OtherOwnersFiles:
            for (const char* name : {"UpdaterJournal.txt", "UpdaterWord.txt", "UpdaterDownloads.txt"})
                ASSERT_EQ(chown((native + "/" + name).c_str(), 65534, 65534), 0);
            break;
        }
        EXPECT_EQ(RecoverInterrupted(program + "/"), QStringList());
        EXPECT_EQ(Entries(program), "a a.uTMP b.uTMP");
        EXPECT_EQ(ReadAll(program + "/a"), "old");
        EXPECT_EQ(Entries(folder), before);
        EXPECT_TRUE(QFileInfo(planted).exists());
    }
    if (skipped)
        GTEST_SKIP() << "the rows with another user's files need root";
}

// A journal that cannot be trusted is told of once, and left with everything it names for the
// user; a journal put right (here: written again whole) is ended by the next start.
TEST(UpdInstaller, ARefusedJournalIsToldOnceAndLeftToTheUser)
{
    TInstallerRun run;
    const QString dir = run.Folder();
    run.WriteProgram("old");
    Write(dir + "data", "old");
    Write(dir + "data.uTMP", "new");
    run.Prepare({dir + "data"});
    run.Prepared.Hold.Release();
    const QString journal = run.Prepared.Folder + "/UpdaterJournal.txt";
    Write(journal, Journal(dir, {dir + "data"}).replace("begin", "bogus"));
    const std::string left = Entries(run.Prepared.Folder);
    QStringList told = RecoverInterrupted(dir);
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains("could not be ended: ") && told[0].contains(run.Prepared.Folder + "\"")) << told[0].toStdString();
    for (int start = 0; start < 2; ++start)
        EXPECT_EQ(RecoverInterrupted(dir), QStringList());
    EXPECT_EQ(ReadAll(journal), Journal(dir, {dir + "data"}).replace("begin", "bogus"));
    EXPECT_EQ(Entries(dir), "app data data.uTMP");
    for (const QString& name : QString::fromStdString(left).split(' '))
        EXPECT_TRUE(QFileInfo::exists(run.Prepared.Folder + '/' + name)) << name.toStdString();
    // Any change to the journal has it looked at again: still refused, it is told again, once.
    Write(journal, Journal(dir, {dir + "data"}).replace("begin", "bogus!"));
    EXPECT_EQ(RecoverInterrupted(dir).size(), 1);
    EXPECT_EQ(RecoverInterrupted(dir), QStringList());
    Write(journal, Journal(dir, {dir + "data"}));
    EXPECT_EQ(RecoverInterrupted(dir), QStringList());
    EXPECT_EQ(ReadAll(dir + "data"), "new");
    EXPECT_EQ(Entries(dir), "app data");
    EXPECT_FALSE(QFileInfo::exists(run.Prepared.Folder));
}

// What a program ended before its hand-over left (its downloads, named in its private folder) goes
// at the next start: only the plain files at the names it recorded, never a link or what lies
// behind one, never a download that work still in hand names, and nothing at all while an
// installation is left that is not ended or an installer is at work.
TEST(UpdInstaller, TheNextStartRemovesTheDownloadsAProgramLeftAndNothingElse)
{
    enum TPending { Nothing, AnInstallationNotEnded, AJournalRefused, AnInstallerAtWork };
    const QByteArray oldTemp = qgetenv("TMPDIR");
    const auto restore = qScopeGuard([&] { oldTemp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", oldTemp); });
    for (const TPending pending : {Nothing, AnInstallationNotEnded, AJournalRefused, AnInstallerAtWork}) {
        SCOPED_TRACE(int(pending));
        QTemporaryDir temp;
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        TInstallerRun run;
        const QString top = run.Top.path() + "/", dir = run.Folder();
        run.WriteProgram("app");
        for (const char* name : {"q/plain.uTMP", "q/sub/deep.uTMP", "q/folder.uTMP/inside", "q/fetching.uTMP",
                                 "q/mine.uTMP", "q2/secret", "q2/x.uTMP"})
            Write(top + name, name);
        ASSERT_TRUE(QFile::link(top + "q2/secret", dir + "link.uTMP"));
        ASSERT_TRUE(QFile::link(top + "q2", dir + "out"));
        QString error;
        // Ended while its last page waited.
        TPrepared ended;
        ASSERT_TRUE(MakePrivateFolder(ended, error));
        ASSERT_TRUE(RecordDownloads(ended, {dir + "plain", dir + "sub/deep", dir + "link", dir + "folder", dir + "fetching",
                                            dir + "out/x"},
                                    error));
        ended.Hold.Release();
        // Another instance of the program still fetching.
        TPrepared fetching;
        ASSERT_TRUE(MakePrivateFolder(fetching, error));
        ASSERT_TRUE(RecordDownloads(fetching, {dir + "fetching"}, error));
        const auto cleanUp = qScopeGuard([&] { RemoveFolder(ended), RemoveFolder(fetching); });
        updInstall::TFolderLock busy;
        int journal = -1;
        if (pending == AnInstallationNotEnded || pending == AJournalRefused) {
            // Held by a process that is still at it, or one the start cannot trust.
            TPrepared killed;
            ASSERT_TRUE(MakePrivateFolder(killed, error));
            Write(killed.Folder + "/UpdaterJournal.txt",
                  pending == AJournalRefused ? QByteArray("garbage") : Journal(dir, {dir + "app"}));
            journal = open(QFile::encodeName(killed.Folder + "/UpdaterJournal.txt").constData(), O_RDWR | O_CLOEXEC);
            ASSERT_EQ(flock(journal, LOCK_EX | LOCK_NB), 0);
        } else if (pending == AnInstallerAtWork) {
            busy = updInstall::LockFolder(QFile::encodeName(dir).toStdString());
        }
        const std::string before = Entries(dir);
        EXPECT_EQ(RecoverInterrupted(dir).size(), pending == AnInstallationNotEnded || pending == AJournalRefused ? 1 : 0);
        if (pending == Nothing) {
            EXPECT_EQ(Entries(dir), "app fetching.uTMP folder.uTMP folder.uTMP/inside link.uTMP mine.uTMP out sub");
            EXPECT_FALSE(QFileInfo::exists(ended.Folder));
        } else {
            EXPECT_EQ(Entries(dir), before);
            EXPECT_TRUE(QFileInfo::exists(ended.Folder + "/UpdaterDownloads.txt"));
        }
        EXPECT_EQ(QFileInfo(dir + "link.uTMP").symLinkTarget(), top + "q2/secret");
        EXPECT_EQ(Entries(top + "q2"), "secret x.uTMP");
        EXPECT_EQ(ReadAll(top + "q2/secret"), "q2/secret");
        EXPECT_TRUE(QFileInfo::exists(fetching.Folder + "/UpdaterDownloads.txt"));
        if (journal >= 0)
            close(journal);
    }
}

// An external setup is the file the update names as its setup, whatever else came with it: only
// that one runs, beside the others.
TEST(UpdInstaller, OnlyTheSetupTheUpdateNamesRuns)
{
    TInstallerRun run;
    run.WriteProgram("old");
    QString error;
    ASSERT_TRUE(MakePrivateFolder(run.Prepared, error));
    const QString ran = run.Folder() + "ran.txt";
    QStringList queue;
    for (const char* name : {"setup", "helper", "last"}) {
        queue << run.Prepared.Folder + '/' + name;
        Write(queue.last() + ".uTMP",
              "#!/bin/sh\necho " + QByteArray(name) + " >> '" + QFile::encodeName(ran) +
                  "'\ntest -f helper -a -f last -a -f setup && echo beside the others >> '" + QFile::encodeName(ran) + "'\n",
              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    run.Prepare(queue);
    EXPECT_EQ(run.Run(1), 0);
    EXPECT_EQ(ReadAll(ran), "setup\nbeside the others\n");
    EXPECT_EQ(run.Restarted(), "old[/afterupgrade]\n");
    EXPECT_FALSE(QFileInfo::exists(run.Prepared.Folder));
}

namespace {

// "folder <temporary folder>": makes a private folder there when no further file can be opened,
// and prints the error.
int PrivateFolderChild(const QStringList& job)
{
    qputenv("TMPDIR", QFile::encodeName(job.value(0)));
    // The lowest free descriptor becomes the limit: nothing more can be opened from here.
    const int lowest = dup(STDIN_FILENO);
    close(lowest);
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = rlim_t(lowest);
    if (lowest < 0 || setrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 2;
    TPrepared prepared;
    QString error;
    if (MakePrivateFolder(prepared, error))
        return 1;
    std::fputs(error.toLocal8Bit().constData(), stdout);
    return 0;
}
const bool PrivateFolderChildRegistered = RegisterChild("private-folder", &PrivateFolderChild);

} // namespace

// A private folder made but not held cannot be used: the message gives the system's reason, and
// nothing is left in the temporary folder.
TEST(UpdHandOver, APrivateFolderThatCannotBeHeldIsRefusedWithTheSystemsReason)
{
    QTemporaryDir temp;
    QProcess child;
    ASSERT_TRUE(StartChild(child, "private-folder", {temp.path()}));
    ASSERT_TRUE(child.waitForFinished(60000));
    ASSERT_EQ(child.exitCode(), 0);
    const QString error = QString::fromLocal8Bit(child.readAllStandardOutput());
    EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot make a private folder in \"%1/\": ").arg(temp.path())) &&
                error.endsWith(QString::fromLocal8Bit(std::strerror(EMFILE))))
        << error.toStdString();
    EXPECT_EQ(Entries(temp.path()), "");
}
