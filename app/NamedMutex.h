#pragma once
// A process-wide named mutex, telling other programs (an installer in particular) that an
// instance is running: a lock file in the user's runtime folder, one per process so that
// several instances may run, each holding its own until it ends.

#include <QString>
#include <memory>

class QLockFile;

class TNamedMutex {
public:
    // Creates and locks "<folder>/<name>.<process id>.lock"; an empty folder means the user's
    // runtime folder. When the lock cannot be taken, the mutex simply isn't held (IsLocked):
    // no instance depends on it.
    explicit TNamedMutex(const QString& name, const QString& folder = QString());
    ~TNamedMutex();
    TNamedMutex(const TNamedMutex&) = delete;
    TNamedMutex& operator=(const TNamedMutex&) = delete;

    bool IsLocked() const;
    const QString& FileName() const { return FFileName; }

    // Whether any live process holds a mutex of this name. Lock files left by processes that
    // ended are removed on the way.
    static bool IsHeld(const QString& name, const QString& folder = QString());
    static QString RuntimeFolder();

private:
    QString FFileName;
    std::unique_ptr<QLockFile> FLock;
};
