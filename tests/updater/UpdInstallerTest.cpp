#include "InstallerRun.h"

#include "support/FullTmpfs.h"

#include <QRegularExpression>

#include <climits>
#include <cstdio>
#include <memory>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/mount.h>

using namespace installertest;

TEST(UpdInstaller, WaitsForTheProgramThenReplacesQueuedFilesKeepingModesAndRestartsIt)
{
    TInstallerRun run;
    const QString dir = run.Folder();
    run.WriteProgram("old");
    run.WriteProgram("new", dir + "app.uTMP");
    Write(dir + "data/lib.so", "old lib", QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    Write(dir + "data/lib.so.uTMP", "new lib");
    Write(dir + "fresh.txt.uTMP", "fresh");
    Write(dir + "stray.bin.uTMP", "never queued");
    run.Prepare({dir + "app", dir + "data/lib.so", dir + "fresh.txt"});
    QProcess program, installer;
    program.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    ASSERT_TRUE(program.waitForStarted());
    installer.start(run.Prepared.Installer, run.Arguments(0, program.processId()));
    EXPECT_FALSE(installer.waitForFinished(300));
    EXPECT_EQ(ReadAll(dir + "data/lib.so"), "old lib"); // nothing while the program runs
    program.kill();
    EXPECT_TRUE(installer.waitForFinished(20000) && installer.exitCode() == 0);
    for (int i = 0; i < 500 && !QFile::exists(run.Recorded()); ++i)
        QThread::msleep(10);

    EXPECT_EQ(ReadAll(run.Recorded()), "new[/afterupgrade]\n");
    EXPECT_EQ(Mode(dir + "app"), 0700u);
    EXPECT_EQ(ReadAll(dir + "data/lib.so"), "new lib");
    EXPECT_EQ(Mode(dir + "data/lib.so"), 0640u);
    EXPECT_EQ(ReadAll(dir + "fresh.txt"), "fresh");
    EXPECT_EQ(Entries(dir), "app data data/lib.so fresh.txt started.txt stray.bin.uTMP");
    EXPECT_FALSE(QFileInfo::exists(run.Prepared.Folder));
}

TEST(UpdInstaller, RefusesWhatItCannotInstallWholeAndChangesNothing)
{
    // Paths below the run's top folder, "P/" the private folder; a link is "destination>name";
    // kept: a download left alone, its target being refused.
    const struct {
        const char* name;
        QStringList links, downloads, queue;
        const char* kept = "";
        int method = 0;
        bool fullTemporaryFolder = false;
    } rows[] = {
        {"a '..' step", {}, {"x.uTMP"}, {"q/app", "q/../x"}},
        {"a folder whose name begins with the program folder's", {}, {"q2/x.uTMP"}, {"q/app", "q2/x"}},
        {"a '.' step", {}, {"q/data.uTMP"}, {"q/app", "q/./data"}, "data.uTMP"},
        {"a folder link that leads out", {"q2>q/out"}, {"q2/x.uTMP"}, {"q/app", "q/out/x"}},
        {"a file link that leads out", {"q2/lib.so>q/lib.so"}, {"q/lib.so.uTMP"}, {"q/app", "q/lib.so"}, "lib.so.uTMP"},
        {"a download that is a link", {"q2/secret>q/data.uTMP"}, {}, {"q/app", "q/data"}},
        {"a folder in the way", {}, {"q/blocked/inside", "q/blocked.uTMP"}, {"q/app", "q/blocked"}},
        {"no download", {}, {}, {"q/app", "q/nothing"}},
        {"a target named twice", {}, {"q/data.uTMP"}, {"q/app", "q/data", "q/data"}},
        {"a journal that cannot be written", {}, {}, {"q/app"}, "", 0, true},
        {"a setup program that fails", {}, {"P/setup.uTMP"}, {"P/setup"}, "app.uTMP", 1},
        {"a setup outside the private folder", {}, {"q/setup.uTMP"}, {"q/setup"}, "app.uTMP setup.uTMP", 1},
    };
    for (const auto& row : rows) {
        TInstallerRun run;
        std::unique_ptr<TFullTmpfs> disk(row.fullTemporaryFolder ? new TFullTmpfs("8m") : nullptr);
        if (disk && !disk->Ok())
            continue; // needs root, as the test above
        const QByteArray oldTemp = qgetenv("TMPDIR");
        if (disk)
            qputenv("TMPDIR", QFile::encodeName(disk->Path()));
        QString error;
        ASSERT_TRUE(updHandOver::MakePrivateFolder(run.Prepared, error));
        const QString top = run.Top.path() + QLatin1Char('/'), dir = run.Folder();
        const auto path = [&](const QString& p) { return p.startsWith(QLatin1String("P/")) ? run.Prepared.Folder + p.mid(1) : top + p; };
        run.WriteProgram("old");
        run.WriteProgram("new", dir + "app.uTMP");
        Write(dir + "data", "old data");
        Write(top + "q2/secret", "outside");
        Write(top + "q2/lib.so", "outside");
        for (const QString& link : row.links)
            Link(top + link.section('>', 0, 0), top + link.section('>', 1));
        for (const QString& download : row.downloads)
            Write(path(download), "#!/bin/sh\nexit 3\n");
        QStringList queue, expected = QString::fromStdString(Entries(dir)).split(' ');
        for (const QString& target : row.queue)
            queue << path(target);
        const std::string outside = Entries(run.Sibling());
        expected = expected.filter(QRegularExpression(QStringLiteral("^(?!.*\\.uTMP$)"))) << "started.txt"
                   << QString::fromUtf8(row.kept).split(' ', Qt::SkipEmptyParts);
        expected.sort();
        run.Prepare(queue);
        if (disk)
            disk->Fill();

        EXPECT_NE(run.Run(row.method), 0) << row.name;
        EXPECT_EQ(ReadAll(run.Recorded()), "old[]\n") << row.name;
        EXPECT_EQ(Mode(dir + "app"), 0700u) << row.name;
        EXPECT_EQ(ReadAll(dir + "data"), "old data") << row.name;
        EXPECT_EQ(Entries(dir), expected.join(' ').toStdString()) << row.name; // downloads gone
        EXPECT_EQ(Entries(run.Sibling()), outside) << row.name;
        EXPECT_EQ(ReadAll(top + "q2/secret"), "outside") << row.name;
        EXPECT_FALSE(QFileInfo::exists(run.Prepared.Folder)) << row.name;
        oldTemp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", oldTemp);
    }
}

TEST(UpdInstaller, AFailureHalfWayPutsBackEveryEntryItMovedLinksIncluded)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "a file in use as a mount point needs root";
    TInstallerRun run;
    const QString dir = run.Folder();
    run.WriteProgram("old");
    run.WriteProgram("new", dir + "app.uTMP");
    Write(dir + "data.txt", "data");
    Link(QStringLiteral("data.txt"), dir + "link");
    for (const char* name : {"link.uTMP", "fresh.txt.uTMP", "busy", "busy.uTMP", "../q2/source"})
        Write(dir + name, name);
    // A mount point cannot be renamed over: the fourth replacement fails.
    const QByteArray busy = QFile::encodeName(dir + "busy");
    ASSERT_EQ(mount(QFile::encodeName(run.Sibling() + "source").constData(), busy.constData(), nullptr, MS_BIND, nullptr), 0);
    run.Prepare({dir + "app", dir + "link", dir + "fresh.txt", dir + "busy"});

    EXPECT_NE(run.Run(), 0);
    umount2(busy.constData(), MNT_DETACH);
    EXPECT_EQ(ReadAll(run.Recorded()), "old[]\n");
    EXPECT_EQ(Mode(dir + "app"), 0700u);
    EXPECT_EQ(QFileInfo(dir + "link").symLinkTarget(), dir + "data.txt");
    EXPECT_EQ(ReadAll(dir + "busy"), "busy");
    EXPECT_EQ(Entries(dir), "app busy data.txt link started.txt");
}

namespace {

// Starts the installer and kills it once it has made the given number of changes (entries made,
// moved in or removed) in the program folder and its private folder, or lets it end. Answers
// the changes seen.
int KillAfterChanges(TInstallerRun& run, int changes)
{
    const int watch = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    for (const QString& folder : {run.Folder(), run.Prepared.Folder})
        inotify_add_watch(watch, QFile::encodeName(folder).constData(), IN_CREATE | IN_MOVED_TO | IN_DELETE);
    QProcess installer;
    installer.start(run.Prepared.Installer, run.Arguments(0, EndedProcess()));
    int seen = 0;
    alignas(inotify_event) char buffer[8192];
    while (seen < changes && (installer.waitForFinished(0), installer.state() != QProcess::NotRunning)) {
        pollfd p{watch, POLLIN, 0};
        const ssize_t n = poll(&p, 1, 10) > 0 ? read(watch, buffer, sizeof buffer) : 0;
        for (ssize_t at = 0; at < n; at += ssize_t(sizeof(inotify_event) + reinterpret_cast<inotify_event*>(buffer + at)->len))
            ++seen;
    }
    installer.kill(); // SIGKILL, and only while it runs
    installer.waitForFinished();
    close(watch);
    return seen;
}

} // namespace

TEST(UpdInstaller, AKilledInstallationEndsOnOneWholeVersion)
{
    constexpr int Files = 20, Kills = 40;
    const auto setUp = [](TInstallerRun& run) {
        run.WriteProgram("old");
        QStringList queue;
        for (int i = 0; i < Files; ++i) {
            queue << run.Folder() + QString::number(i + 10);
            if (i % 5 == 0) // links are moved and put back like files
                Link(QStringLiteral("app"), queue.last());
            else
                Write(queue.last(), "old");
            Write(queue.last() + ".uTMP", "new");
        }
        run.Prepare(queue);
    };
    // "old", "new", or "mixed"; a kept copy counts as mixed.
    const auto version = [](const TInstallerRun& run) {
        QSet<QByteArray> seen;
        for (int i = 0; i < Files; ++i) {
            const QFileInfo f(run.Folder() + QString::number(i + 10));
            seen << (f.symLinkTarget() == run.ProgramFile() ? QByteArray("old") : ReadAll(f.filePath()));
        }
        return seen.size() == 1 && Entries(run.Folder()).find(".uOLD") == std::string::npos ? *seen.begin() : QByteArray("mixed");
    };
    int changes = 0, halfWay = 0;
    {
        TInstallerRun run;
        setUp(run);
        changes = KillAfterChanges(run, INT_MAX);
        ASSERT_EQ(version(run), "new");
    }
    for (int k = 0; k < Kills; ++k) {
        TInstallerRun run;
        setUp(run);
        const int at = 1 + k * changes / Kills;
        KillAfterChanges(run, at);
        halfWay += version(run) == "mixed";
        // Ended by the program's next start, or by the same queue run again, which always finishes.
        if (k % 2 == 0)
            updHandOver::RecoverInterrupted(run.Folder());
        else if (QFileInfo::exists(run.Prepared.Installer))
            run.Run();
        const QByteArray now = version(run);
        EXPECT_TRUE(now == "new" || (now == "old" && k % 2 == 0)) << now.data() << " after " << at << " changes";
        EXPECT_TRUE(now == "old" || Entries(run.Folder()).find(".uTMP") == std::string::npos);
    }
    std::printf("[          ] %d of %d kills among %d changes cut the installation half-way\n", halfWay, Kills, changes);
}
