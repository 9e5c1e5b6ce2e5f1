#include "updater/UpdHandOver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace updHandOver;

TEST(UpdHandOver, TargetsStayInsideTheProgramFolder)
{
    const QString dir = QStringLiteral("/opt/q/");
    const struct {
        const char* url;
        const char* target;
        const char* expected; // "" = refused
    } cases[] = {
        {"https://h/d/app.bin", "", "/opt/q/app.bin"},
        {"https://h/d/app.bin?x=1", "", "/opt/q/app.bin"},
        {"https://h/d/a", "lib.so", "/opt/q/lib.so"},
        {"https://h/d/a", "plugins\\img.so", "/opt/q/plugins/img.so"},
        {"https://h/d/a", "%CURRENT%help/q.html", "/opt/q/help/q.html"},
        {"https://h/d/a", "/etc/passwd", ""},
        {"https://h/d/a", "C:\\app.exe", ""},
        {"https://h/d/a", "../escape", ""},
        {"https://h/d/a", "sub/../../escape", ""},
        {"https://h/d/a", "%temp%x.bin", ""},
        {"https://h/d/a", "%desktop%x.bin", ""},
        {"https://h/d/", "", ""},
        {"https://h/d/..", "", ""},
        {"https://h/d/a", "sub/", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolveTarget(QString::fromUtf8(c.url), QString::fromUtf8(c.target), dir), QString::fromUtf8(c.expected))
            << c.url << " = " << c.target;
}

namespace {

QByteArray ReadAll(const QString& name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void Write(const QString& name, const QByteArray& data, QFile::Permissions permissions = {})
{
    QDir().mkpath(QFileInfo(name).absolutePath());
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
    f.close();
    if (permissions)
        f.setPermissions(permissions);
}

mode_t Mode(const QString& name)
{
    struct stat st {};
    return ::stat(QFile::encodeName(name).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// A process id that has certainly ended.
qint64 EndedProcess()
{
    QProcess p;
    p.start(QStringLiteral("true"), {});
    p.waitForFinished(5000);
    return p.processId() ? p.processId() : 999999;
}

struct TInstallerRun {
    QTemporaryDir Program;
    QString Folder() const { return Program.path() + QLatin1Char('/'); }
    QString Recorded() const { return Folder() + QStringLiteral("started.txt"); }
    // A stand-in program that records its arguments.
    static QByteArray Script(const char* tag)
    {
        return QByteArray("#!/bin/sh\necho \"") + tag + "[$*]\" > \"$(dirname \"$0\")/started.txt\"\n";
    }
    // Runs the installer on the queue and waits until it has started the program again.
    int Run(const QStringList& queue)
    {
        TPrepared prepared;
        QString error;
        EXPECT_TRUE(Prepare(queue, prepared, error)) << error.toStdString();
        PrivateFolder = prepared.Folder;
        EXPECT_EQ(Mode(prepared.Folder), 0700u);
        EXPECT_EQ(Mode(prepared.Installer), 0700u);
        EXPECT_EQ(ReadAll(prepared.Queue), queue.join(QStringLiteral("\r\n")).toUtf8() + "\r\n");
        QProcess installer;
        installer.start(prepared.Installer,
                        InstallerArguments(Folder() + QStringLiteral("app"), QStringLiteral("/afterupgrade"),
                                           prepared.Queue, EndedProcess()));
        EXPECT_TRUE(installer.waitForFinished(20000));
        for (int i = 0; i < 500 && !QFile::exists(Recorded()); ++i)
            QThread::msleep(10);
        QThread::msleep(50);
        return installer.exitCode();
    }
    QString PrivateFolder;
};

} // namespace

TEST(UpdHandOver, TheInstallerReplacesQueuedFilesKeepingModesAndRestartsTheProgram)
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
    EXPECT_FALSE(QFile::exists(dir + "app.uOLD") || QFile::exists(dir + "app.uTMP") ||
                 QFile::exists(dir + "data/lib.so.uOLD"));
    EXPECT_FALSE(QFileInfo::exists(run.PrivateFolder));
}

TEST(UpdHandOver, AFailedReplacementPutsEveryOldFileBackAndAQueueOutsideIsRefused)
{
    TInstallerRun run;
    const QString dir = run.Folder();
    Write(dir + "app", TInstallerRun::Script("old"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    Write(dir + "app.uTMP", TInstallerRun::Script("new"));
    Write(dir + "blocked/inside", "a folder cannot be renamed over");
    Write(dir + "blocked.uTMP", "new");
    EXPECT_NE(run.Run({dir + "app", dir + "blocked"}), 0);
    EXPECT_EQ(ReadAll(run.Recorded()), QByteArray("old[]\n")); // started again, without the parameter
    EXPECT_EQ(Mode(dir + "app"), 0700u);
    EXPECT_TRUE(QFileInfo(dir + "blocked").isDir());
    EXPECT_FALSE(QFile::exists(dir + "app.uTMP") || QFile::exists(dir + "blocked.uTMP") || QFile::exists(dir + "app.uOLD"));

    QFile::remove(run.Recorded());
    Write(dir + "app.uTMP", TInstallerRun::Script("new"));
    EXPECT_NE(run.Run({dir + "app", dir + "../app"}), 0);
    EXPECT_EQ(ReadAll(run.Recorded()), QByteArray("old[]\n"));
}
