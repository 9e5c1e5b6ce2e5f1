#include "updater/UpdHandOver.h"

#include "support/TmpfsMount.h"

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
#include <iostream>

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
    // Runs the installer and waits until it has ended and started the program again (process
    // id 0: the program has ended).
    int Run(int method = 0, qint64 pid = 0)
    {
        QProcess installer;
        installer.start(Prepared.Installer, Arguments(method, pid));
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

TEST(UpdInstaller, RefusesOrUndoesWhatItCannotInstallWholeAndChangesNothing)
{
    // Paths below the run's top folder, "P/" the private folder; a link is "destination>name";
    // kept: a download left alone, its target being refused.
    enum { Plain, FullTemporaryFolder, NoRoomForTheQueue, MountedTarget } const plain = Plain;
    const struct {
        const char* name;
        QStringList links, downloads, queue;
        const char* kept = "";
        int method = 0;
        decltype(plain) special = Plain;
    } rows[] = {
        {"a '..' step", {}, {"q/sub/x", "q/data.uTMP"}, {"q/app", "q/sub/../data"}, "data.uTMP"},
        {"a folder whose name begins with the program folder's", {}, {"q2/x.uTMP"}, {"q/app", "q2/x"}},
        {"a '.' step", {}, {"q/data.uTMP"}, {"q/app", "q/./data"}, "data.uTMP"},
        {"a folder link that leads out", {"q2>q/out"}, {"q2/x.uTMP"}, {"q/app", "q/out/x"}},
        {"a file link that leads out", {"q2/lib.so>q/lib.so"}, {"q/lib.so.uTMP"}, {"q/app", "q/lib.so"}, "lib.so.uTMP"},
        {"a link that leads nowhere", {"q2/none>q/none"}, {"q/none.uTMP"}, {"q/app", "q/none"}, "none.uTMP"},
        {"a download that is a link", {"q2/secret>q/data.uTMP"}, {}, {"q/app", "q/data"}},
        {"a download that is a folder", {}, {"q/new.uTMP/inside"}, {"q/app", "q/new"}, "new.uTMP"},
        {"a folder in the way", {}, {"q/blocked/inside", "q/blocked.uTMP"}, {"q/app", "q/blocked"}},
        {"no download", {}, {}, {"q/app", "q/nothing"}},
        {"a target named twice", {}, {"q/data.uTMP"}, {"q/app", "q/data", "q/data"}},
        {"a journal that cannot be written", {}, {}, {"q/app"}, "", 0, FullTemporaryFolder},
        {"a queue that cannot be written", {}, {}, {"q/app"}, "", 0, NoRoomForTheQueue},
        // A mount point cannot be renamed over: every entry moved before it goes back, links too,
        // and never a copy kept by an earlier run.
        {"a replacement that fails half-way", {"q/data>q/link"},
         {"q/app.uOLD", "q/link.uTMP", "q/fresh.uTMP", "q/data.uTMP", "q/busy.uTMP"},
         {"q/app", "q/link", "q/fresh", "q/data", "q/busy"}, "", 0, MountedTarget},
        {"a setup program that fails", {}, {"P/setup.uTMP"}, {"P/setup"}, "app.uTMP", 1},
        {"a setup outside the private folder", {}, {"q/setup.uTMP"}, {"q/setup"}, "app.uTMP setup.uTMP", 1},
    };
    const QRegularExpression notDownload(QStringLiteral("^(?!.*\\.u(TMP|OLD)$)"));
    for (const auto& row : rows) {
        TInstallerRun run;
        const QString top = run.Top.path() + QLatin1Char('/'), dir = run.Folder();
        const bool full = row.special == FullTemporaryFolder || row.special == NoRoomForTheQueue;
        const std::unique_ptr<TTmpfsMount> disk(full ? new TTmpfsMount(8192) : nullptr);
        if (row.special != Plain && geteuid() != 0) {
            std::cout << "row skipped: it mounts a file system, which needs root\n";
            continue;
        }
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
        QStringList queue, expected = QString::fromStdString(Entries(dir)).split(' ');
        for (const QString& target : row.queue)
            queue << path(target);
        const std::string outside = Entries(top + "q2");
        expected = expected.filter(notDownload) << "started.txt"
                   << QString::fromUtf8(row.kept).split(' ', Qt::SkipEmptyParts);
        expected.sort();
        if (row.special == NoRoomForTheQueue) {
            disk->Fill();
            EXPECT_FALSE(updHandOver::Prepare(queue, run.Prepared, error));
            EXPECT_TRUE(error.contains("No space left on device") && Entries(disk->Folder()) == ".filler") << error.toStdString();
            continue;
        }
        run.Prepare(queue);
        if (disk)
            disk->Fill();
        if (row.special == MountedTarget) {
            const QByteArray source = QFile::encodeName(top + "q2/secret");
            ASSERT_EQ(mount(source.constData(), busy.constData(), nullptr, MS_BIND, nullptr), 0);
        }

        EXPECT_NE(run.Run(row.method), 0) << row.name;
        umount2(busy.constData(), MNT_DETACH);
        EXPECT_EQ(run.Restarted(), "old[]\n") << row.name;
        EXPECT_EQ(Mode(dir + "app"), 0700u) << row.name;
        for (const char* name : {"q/data", "q/busy", "q2/secret"})
            EXPECT_EQ(ReadAll(top + name), name) << row.name;
        for (const QString& link : row.links.filter(notDownload))
            EXPECT_EQ(QFileInfo(top + link.section('>', 1)).symLinkTarget(), top + link.section('>', 0, 0)) << row.name;
        EXPECT_EQ(Entries(dir), expected.join(' ').toStdString()) << row.name; // downloads gone
        EXPECT_EQ(Entries(top + "q2"), outside) << row.name;
        EXPECT_FALSE(QFileInfo::exists(run.Prepared.Folder)) << row.name;
    }
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
    installer.start(run.Prepared.Installer, run.Arguments(0, program));
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
