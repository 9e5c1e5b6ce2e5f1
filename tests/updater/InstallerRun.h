#pragma once
// Runs the real installer program on a program folder "q" of stand-ins: files, links, and a
// program that records how it was started again. "q2" beside it shares the beginning of its name.

#include "updater/UpdHandOver.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace installertest {

inline QByteArray ReadAll(const QString& name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline void Write(const QString& name, const QByteArray& data, QFile::Permissions permissions = {})
{
    QDir().mkpath(QFileInfo(name).absolutePath());
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
    f.close();
    if (permissions)
        f.setPermissions(permissions);
}

inline void Link(const QString& destination, const QString& name)
{
    ASSERT_EQ(symlink(QFile::encodeName(destination).constData(), QFile::encodeName(name).constData()), 0);
}

inline mode_t Mode(const QString& name)
{
    struct stat st {};
    return ::stat(QFile::encodeName(name).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Every name in the folder and below, links not followed, sorted, joined by blanks.
inline std::string Entries(const QString& folder)
{
    QStringList found;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next().mid(folder.size() + (folder.endsWith(QLatin1Char('/')) ? 0 : 1));
    found.sort();
    return found.join(QLatin1Char(' ')).toStdString();
}

// A process id that has certainly ended.
inline qint64 EndedProcess()
{
    QProcess p;
    p.start(QStringLiteral("true"), {});
    p.waitForFinished(5000);
    return p.processId() ? p.processId() : 999999;
}

struct TInstallerRun {
    QTemporaryDir Top;
    updHandOver::TPrepared Prepared;

    TInstallerRun() { QDir(Top.path()).mkpath(QStringLiteral("q2")); }
    ~TInstallerRun() { updHandOver::RemoveFolder(Prepared); }
    QString Folder() const { return Top.path() + QStringLiteral("/q/"); }
    QString Sibling() const { return Top.path() + QStringLiteral("/q2/"); }
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
    }
    QStringList Arguments(int method, qint64 pid) const
    {
        return updHandOver::InstallerArguments(ProgramFile(), QStringLiteral("/afterupgrade"), Prepared.Queue, pid,
                                               method);
    }
    // Runs the installer and waits until it has ended and started the program again.
    int Run(int method = 0)
    {
        QProcess installer;
        installer.start(Prepared.Installer, Arguments(method, EndedProcess()));
        EXPECT_TRUE(installer.waitForFinished(30000));
        for (int i = 0; i < 500 && !QFile::exists(Recorded()); ++i)
            QThread::msleep(10);
        QThread::msleep(20);
        return installer.exitCode();
    }
};

} // namespace installertest
