#pragma once
// An exclusive lock between processes that the kernel releases when its holder ends, however it
// ends (flock on a lock file that is never deleted). So no lock is ever stale: what a crash, a
// kill or a power cut leaves in the lock file's place (an empty file, garbage, a folder) locks
// nothing, and a waiter waits only for a holder that is alive and working.
//
// Waiters sleep in the kernel until the holder lets go, so that each is woken the moment the lock
// is free and several instances that lock back to back are all served in turn.
//
// The lock file lies in a folder of the user's own. What stands at its name but cannot be opened
// (a symbolic link, dangling or not; a file of mode 000; another user's file) is removed, never
// followed, and a new lock file made in its place. What can be opened is never removed: a lock
// that another process holds is waited for. The lock file is kept at mode 0600, so that no other
// local user can open it and hold it.

#include <string>
#include <utility>

class TFileLock {
public:
    explicit TFileLock(std::string fileName) : FFileName(std::move(fileName)) {}
    ~TFileLock() { Unlock(); }
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;

    // Takes the lock, waiting at most waitMs while another holds it. False, with Error(), when
    // the lock file can be neither opened nor made anew, or (EWOULDBLOCK) when the lock was still
    // held elsewhere at the end.
    bool Lock(int waitMs);
    void Unlock();
    bool Locked() const { return FFd >= 0; }

    int Error() const { return FError; }
    const std::string& FileName() const { return FFileName; }

private:
    std::string FFileName;
    int FFd = -1;
    int FError = 0;
};
