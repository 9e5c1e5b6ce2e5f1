#include "app/NamedMutex.h"

#include <QCoreApplication>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

namespace {
QString FolderOrRuntime(const QString& folder)
{
    return folder.isEmpty() ? TNamedMutex::RuntimeFolder() : folder;
}
} // namespace

QString TNamedMutex::RuntimeFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return folder.isEmpty() ? QDir::tempPath() : folder;
}

TNamedMutex::TNamedMutex(const QString& name, const QString& folder)
{
    const QString dir = FolderOrRuntime(folder);
    QDir().mkpath(dir);
    FFileName = QDir(dir).filePath(QStringLiteral("%1.%2.lock").arg(name).arg(QCoreApplication::applicationPid()));
    FLock = std::make_unique<QLockFile>(FFileName);
    // Only the death of its process makes a lock file stale, never its age.
    FLock->setStaleLockTime(0);
    FLock->tryLock(0);
}

TNamedMutex::~TNamedMutex() = default;

bool TNamedMutex::IsLocked() const
{
    return FLock && FLock->isLocked();
}

bool TNamedMutex::IsHeld(const QString& name, const QString& folder)
{
    const QDir dir(FolderOrRuntime(folder));
    const QStringList files = dir.entryList({name + QStringLiteral(".*.lock")}, QDir::Files);
    bool held = false;
    for (const QString& file : files) {
        QLockFile probe(dir.filePath(file));
        probe.setStaleLockTime(0);
        if (probe.tryLock(0))
            probe.unlock(); // its process is gone: the file goes with the probe
        else if (probe.error() == QLockFile::LockFailedError)
            held = true;
    }
    return held;
}
