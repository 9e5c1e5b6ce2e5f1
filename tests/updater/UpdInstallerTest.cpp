#include "InstallerRun.h"

#include "support/FullTmpfs.h"

#include <QElapsedTimer>
#include <QRegularExpression>

#include <cstdio>
#include <functional>
#include <signal.h>
#include <sys/mount.h>

using namespace installertest;

TEST(UpdInstaller, ReplacesQueuedFilesKeepingModesAndRestartsTheProgram)
{
    TInstallerRun run;
    const QString dir = run.Folder();
    Write(dir + "app", TInstallerRun::Script("old"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    Write(dir + "app.uTMP", TInstallerRun::Script("new"), QFile::ReadOwner | QFile::WriteOwner);
    Write(dir + "data/lib.so", "old lib", QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    Write(dir + "data/lib.so.uTMP", "new lib");
    Write(dir + "fresh.txt.uTMP", "fresh");
    Write(dir + "stray.bin", "stray");
    Write(dir + "stray.bin.uTMP", "never queued");

    EXPECT_EQ(run.Run({dir + "app", dir + "data/lib.so", dir + "fresh.txt"}), 0);
    EXPECT_EQ(ReadAll(run.Recorded()), QByteArray("new[/afterupgrade]\n"));
    EXPECT_EQ(Mode(dir + "app"), 0700u);
    EXPECT_EQ(ReadAll(dir + "data/lib.so"), QByteArray("new lib"));
    EXPECT_EQ(Mode(dir + "data/lib.so"), 0640u);
    EXPECT_EQ(ReadAll(dir + "fresh.txt"), QByteArray("fresh"));
    EXPECT_EQ(ReadAll(dir + "stray.bin"), QByteArray("stray")); // only what the queue names
    EXPECT_EQ(Entries(dir), QStringList({"app", "data", "data/lib.so", "fresh.txt", "started.txt", "stray.bin",
                                         "stray.bin.uTMP"}));
    EXPECT_FALSE(QFileInfo::exists(run.Prepared.Folder));
}

TEST(UpdInstaller, WaitsForTheProgramToEnd)
{
    TInstallerRun run;
    const QString dir = run.Folder();
    Write(dir + "app", TInstallerRun::Script("old"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    Write(dir + "app.uTMP", TInstallerRun::Script("new"));
    run.Prepare({dir + "app"});
    QProcess program;
    program.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    ASSERT_TRUE(program.waitForStarted());
    QProcess installer;
    installer.start(run.Prepared.Installer, run.Arguments(0, program.processId()));
    EXPECT_FALSE(installer.waitForFinished(300));
    EXPECT_EQ(ReadAll(dir + "app"), TInstallerRun::Script("old"));
    program.kill();
    program.waitForFinished();
    EXPECT_TRUE(installer.waitForFinished(20000));
    EXPECT_EQ(ReadAll(dir + "app"), TInstallerRun::Script("new"));
}

TEST(UpdInstaller, RefusesAQueueThatLeavesTheFolderAndChangesNothing)
{
    using TSetUp = std::function<QStringList(const QString& dir, const QString& sibling)>;
    // kept: a download the installer leaves alone, its target being refused.
    const struct {
        const char* name;
        TSetUp setUp;
        const char* kept = "";
    } rows[] = {
        {"a '..' step", [](const QString& dir, const QString&) {
             Write(dir + "../x.uTMP", "new");
             return QStringList(dir + "../x");
         }},
        {"a folder whose name begins with the program folder's", [](const QString&, const QString& sibling) {
             Write(sibling + "x.uTMP", "new");
             return QStringList(sibling + "x");
         }},
        {"a '.' step", [](const QString& dir, const QString&) {
             Write(dir + "data.uTMP", "new");
             return QStringList(dir + "./data");
         }, "data.uTMP"},
        {"a folder link that leads out", [](const QString& dir, const QString& sibling) {
             Link(sibling, dir + "out");
             Write(sibling + "x.uTMP", "new");
             return QStringList(dir + "out/x");
         }},
        {"a file link that leads out", [](const QString& dir, const QString& sibling) {
             Link(sibling + "lib.so", dir + "lib.so");
             Write(dir + "lib.so.uTMP", "new");
             return QStringList(dir + "lib.so");
         }, "lib.so.uTMP"},
        {"a download that is a link", [](const QString& dir, const QString& sibling) {
             Link(sibling + "secret", dir + "data.uTMP");
             return QStringList(dir + "data");
         }},
        {"a folder in the way", [](const QString& dir, const QString&) {
             Write(dir + "blocked/inside", "kept");
             Write(dir + "blocked.uTMP", "new");
             return QStringList(dir + "blocked");
         }},
        {"no download", [](const QString& dir, const QString&) { return QStringList(dir + "nothing"); }},
        {"a target named twice", [](const QString& dir, const QString&) {
             Write(dir + "data.uTMP", "new");
             return QStringList({dir + "data", dir + "data"});
         }},
    };
    for (const auto& row : rows) {
        TInstallerRun run;
        const QString dir = run.Folder(), sibling = run.Sibling();
        Write(dir + "app", TInstallerRun::Script("old"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        Write(dir + "app.uTMP", TInstallerRun::Script("new"));
        Write(dir + "data", "old data");
        Write(sibling + "lib.so", "outside");
        Write(sibling + "secret", "outside");
        const QStringList queue = QStringList(dir + "app") + row.setUp(dir, sibling);
        const QStringList siblingBefore = Entries(sibling);
        QStringList expected = Entries(dir).filter(QRegularExpression(QStringLiteral("^(?!.*\\.uTMP$)")));
        expected << QStringLiteral("started.txt");
        if (*row.kept)
            expected << QString::fromUtf8(row.kept);
        expected.sort();

        EXPECT_NE(run.Run(queue), 0) << row.name;
        EXPECT_EQ(ReadAll(run.Recorded()), QByteArray("old[]\n")) << row.name;
        EXPECT_EQ(ReadAll(dir + "app"), TInstallerRun::Script("old")) << row.name;
        EXPECT_EQ(Mode(dir + "app"), 0700u) << row.name;
        EXPECT_EQ(ReadAll(dir + "data"), QByteArray("old data")) << row.name;
        EXPECT_EQ(Entries(dir), expected) << row.name; // downloads gone, nothing kept
        EXPECT_EQ(Entries(sibling), siblingBefore) << row.name;
        EXPECT_EQ(ReadAll(sibling + "secret"), QByteArray("outside")) << row.name;
        EXPECT_FALSE(QFileInfo::exists(run.Prepared.Folder)) << row.name;
    }
}

TEST(UpdInstaller, AFailureHalfWayPutsBackEveryEntryItMovedLinksIncluded)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "a file in use as a mount point needs root";
    TInstallerRun run;
    const QString dir = run.Folder();
    Write(dir + "app", TInstallerRun::Script("old"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    Write(dir + "app.uTMP", TInstallerRun::Script("new"));
    Write(dir + "data.txt", "data");
    Link(QStringLiteral("data.txt"), dir + "link");
    Write(dir + "link.uTMP", "new link");
    Write(dir + "fresh.txt.uTMP", "fresh");
    // A mount point cannot be renamed over: the fourth replacement fails.
    Write(dir + "busy", "busy");
    Write(dir + "busy.uTMP", "new busy");
    Write(run.Sibling() + "source", "mounted");
    const QByteArray busy = QFile::encodeName(dir + "busy");
    ASSERT_EQ(mount(QFile::encodeName(run.Sibling() + "source").constData(), busy.constData(), nullptr, MS_BIND, nullptr), 0);

    EXPECT_NE(run.Run({dir + "app", dir + "link", dir + "fresh.txt", dir + "busy"}), 0);
    umount2(busy.constData(), MNT_DETACH);
    EXPECT_EQ(ReadAll(run.Recorded()), QByteArray("old[]\n"));
    EXPECT_EQ(ReadAll(dir + "app"), TInstallerRun::Script("old"));
    EXPECT_EQ(Mode(dir + "app"), 0700u);
    EXPECT_EQ(QFileInfo(dir + "link").symLinkTarget(), dir + "data.txt");
    EXPECT_EQ(ReadAll(dir + "busy"), QByteArray("busy"));
    EXPECT_EQ(Entries(dir), QStringList({"app", "busy", "data.txt", "link", "started.txt"}));
}

TEST(UpdInstaller, AKilledInstallationEndsOnOneWholeVersion)
{
    constexpr int Files = 20, Kills = 40;
    const auto setUp = [](TInstallerRun& run) {
        Write(run.ProgramFile(), "#!/bin/sh\n", QFile::ReadOwner | QFile::ExeOwner);
        QStringList queue;
        for (int i = 0; i < Files; ++i) {
            const QString name = run.Folder() + QStringLiteral("f%1").arg(i, 2, 10, QLatin1Char('0'));
            // Links are moved and put back like files.
            if (i % 5 == 0)
                Link(QStringLiteral("app"), name);
            else
                Write(name, "old");
            Write(name + ".uTMP", "new");
            queue << name;
        }
        run.Prepare(queue);
    };
    // "old", "new", or "mixed"; a kept copy counts as mixed.
    const auto version = [](const TInstallerRun& run) {
        QSet<QByteArray> seen;
        for (int i = 0; i < Files; ++i) {
            const QString name = run.Folder() + QStringLiteral("f%1").arg(i, 2, 10, QLatin1Char('0'));
            const QFileInfo info(name);
            seen << (info.isSymLink() && info.symLinkTarget() == run.ProgramFile() ? QByteArray("old") : ReadAll(name));
        }
        const bool kept = !Entries(run.Folder()).filter(QStringLiteral(".uOLD")).isEmpty();
        return seen.size() == 1 && !kept ? *seen.begin() : QByteArray("mixed");
    };
    qint64 whole = 0;
    {
        TInstallerRun run;
        setUp(run);
        QProcess installer;
        installer.start(run.Prepared.Installer, run.Arguments(0, EndedProcess()));
        ASSERT_TRUE(installer.waitForStarted());
        QElapsedTimer clock;
        clock.start();
        ASSERT_TRUE(installer.waitForFinished(30000));
        whole = clock.nsecsElapsed() / 1000;
        ASSERT_EQ(version(run), "new");
    }
    // The kills close in on the moments the folder changes: every kill that finds it untouched
    // or finished narrows the span the next ones fall in.
    qint64 early = 0, late = whole;
    int halfWay = 0;
    for (int k = 0; k < Kills; ++k) {
        TInstallerRun run;
        setUp(run);
        QProcess installer;
        const QStringList arguments = run.Arguments(0, EndedProcess());
        const qint64 delay = early + (late - early) * ((k * 7) % 10) / 9;
        installer.start(run.Prepared.Installer, arguments);
        ASSERT_TRUE(installer.waitForStarted());
        QThread::usleep(static_cast<unsigned long>(delay));
        kill(pid_t(installer.processId()), SIGKILL);
        installer.waitForFinished();
        const QByteArray killed = version(run);
        halfWay += killed == "mixed";
        if (killed == "old")
            early = std::max(early, delay - 200);
        else if (killed == "new")
            late = std::min(late, delay + 200);
        // Ended by the program's next start, or by the same queue run again.
        if (k % 2 == 0) {
            updHandOver::RecoverInterrupted(run.Folder());
        } else if (QFileInfo::exists(run.Prepared.Installer)) {
            QProcess again;
            again.start(run.Prepared.Installer, run.Arguments(0, EndedProcess()));
            again.waitForFinished(30000);
        }
        const QByteArray now = version(run);
        EXPECT_TRUE(now == "old" || now == "new") << "killed after " << delay << " us";
        if (k % 2 == 1) {
            EXPECT_EQ(now, "new") << "killed after " << delay << " us";
        }
        if (now == "new") {
            EXPECT_EQ(Entries(run.Folder()).filter(QStringLiteral(".uTMP")), QStringList());
        }
    }
    std::printf("[          ] %d of %d kills within %lld us cut the installation half-way\n", halfWay, Kills, whole);
}

TEST(UpdInstaller, AJournalThatCannotBeWrittenChangesNothing)
{
    TFullTmpfs disk("8m");
    if (!disk.Ok())
        GTEST_SKIP() << disk.Why().toStdString();
    TInstallerRun run;
    const QByteArray oldTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(disk.Path()));
    const QString dir = run.Folder();
    Write(dir + "app", TInstallerRun::Script("old"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    Write(dir + "app.uTMP", TInstallerRun::Script("new"));
    run.Prepare({dir + "app"});
    disk.Fill();
    EXPECT_NE(run.Run(), 0);
    EXPECT_EQ(ReadAll(run.Recorded()), QByteArray("old[]\n"));
    EXPECT_EQ(Entries(dir), QStringList({"app", "started.txt"}));
    EXPECT_EQ(Entries(disk.Path()), QStringList(QStringLiteral(".filler")));
    oldTemp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", oldTemp);
}

TEST(UpdInstaller, RunsASetupProgramFromItsPrivateFolderOnly)
{
    const struct {
        QByteArray setup;
        bool outside;
        bool succeeds;
    } rows[] = {
        {"#!/bin/sh\necho \"setup[$*] $(pwd) $(cat notes.txt)\" > \"$OUT\"\n", false, true},
        {"#!/bin/sh\necho failed > \"$OUT\"\nexit 3\n", false, false},
        {"#!/bin/sh\necho ran > \"$OUT\"\n", true, false},
    };
    for (const auto& row : rows) {
        TInstallerRun run;
        const QString dir = run.Folder(), out = run.Sibling() + "setup.txt";
        qputenv("OUT", QFile::encodeName(out));
        Write(dir + "app", TInstallerRun::Script("old"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QString error;
        ASSERT_TRUE(updHandOver::MakePrivateFolder(run.Prepared, error));
        const QString setup = (row.outside ? dir : run.Prepared.Folder + "/") + "setup";
        Write(setup + ".uTMP", row.setup);
        Write(run.Prepared.Folder + "/notes.txt.uTMP", "notes");
        run.Prepare({setup, run.Prepared.Folder + "/notes.txt"});

        EXPECT_EQ(run.Run(1), row.succeeds ? 0 : 1);
        EXPECT_EQ(ReadAll(run.Recorded()), row.succeeds ? QByteArray("old[/afterupgrade]\n") : QByteArray("old[]\n"));
        const QByteArray ran = row.outside  ? QByteArray("<missing>")
                               : row.succeeds ? "setup[] " + QFile::encodeName(run.Prepared.Folder) + " notes\n"
                                              : QByteArray("failed\n");
        EXPECT_EQ(ReadAll(out), ran);
        EXPECT_EQ(Entries(dir), row.outside ? QStringList({"app", "setup.uTMP", "started.txt"})
                                            : QStringList({"app", "started.txt"}));
        EXPECT_FALSE(QFileInfo::exists(run.Prepared.Folder));
    }
    qunsetenv("OUT");
}
