#include "shared/io/FileLock.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

using TClock = std::chrono::steady_clock;

// What a caller and the thread that waits for it share; it lives as long as either needs it.
struct TWaiter {
    std::mutex Mutex;
    std::condition_variable Done;
    bool Finished = false;
    bool Abandoned = false;
    int Error = 0;
};

// Takes flock(fd, LOCK_EX), waiting until deadline while another holds it. Takes fd over: true
// with fd locked, else false with error (EWOULDBLOCK when the deadline passed) and fd closed.
//
// flock(LOCK_EX) sleeps until the lock is free, with no deadline. A signal is the only thing that
// ends it early, and a timer signal does not suit a multithreaded program: its handler is the
// whole process's (installed without SA_RESTART, in a program whose libraries have their own), it
// may land on another thread unless every other thread blocks it, and one that arrives just before
// the call starts is lost, so the wait has no end. The blocking call therefore runs on a thread of
// its own that does nothing else, and the caller waits for it with a deadline. When the caller
// gives up, that thread stays in line, takes the lock when its turn comes and lets it go at once;
// nobody waits for it longer than that.
//
// Trying again every few milliseconds instead is no fair queue: an instance that saves back to
// back takes the lock again before a poller looks, over and over, until the poller gives up.
bool LockWithin(int fd, TClock::time_point deadline, int& error)
{
    if (flock(fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    if (errno != EWOULDBLOCK && errno != EINTR) {
        error = errno;
        close(fd);
        return false;
    }
    auto waiter = std::make_shared<TWaiter>();
    try {
        std::thread([waiter, fd] {
            int result;
            while ((result = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
            }
            const int why = result == 0 ? 0 : errno;
            std::lock_guard<std::mutex> guard(waiter->Mutex);
            if (waiter->Abandoned) {
                close(fd);
                return;
            }
            waiter->Finished = true;
            waiter->Error = why;
            waiter->Done.notify_one();
        }).detach();
    } catch (const std::system_error&) {
        // No thread to wait on: the lock was held a moment ago, which is all there is to tell.
        error = EWOULDBLOCK;
        close(fd);
        return false;
    }
    std::unique_lock<std::mutex> guard(waiter->Mutex);
    if (!waiter->Done.wait_until(guard, deadline, [&] { return waiter->Finished; })) {
        // The waiting thread closes fd once its turn comes.
        waiter->Abandoned = true;
        error = EWOULDBLOCK;
        return false;
    }
    if (waiter->Error != 0) {
        error = waiter->Error;
        close(fd);
        return false;
    }
    return true;
}

// The lock file itself; whatever else is in its place serves as well as long as it can be opened
// (a folder, a file this user may only read). Links are never followed.
int OpenLockFile(const std::string& name)
{
    const int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW;
    const int fd = open(name.c_str(), O_RDWR | O_CREAT | flags, 0600);
    if (fd >= 0)
        return fd;
    const int first = errno;
    const int readOnly = open(name.c_str(), O_RDONLY | flags);
    // The first reason is the one to tell (a read-only folder, a full disk), except for a folder
    // in the lock file's place, which was only ever to be opened for reading.
    if (readOnly < 0 && first != EISDIR)
        errno = first;
    return readOnly;
}

std::string FolderOf(const std::string& name)
{
    const size_t slash = name.rfind('/');
    return slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : name.substr(0, slash);
}

// Removes what stands at name when it cannot be opened, so that the next open makes a new lock
// file. True when the name is free or usable now; false, with error, when removing fails.
//
// Instances that replace at once take turns under a lock on the folder itself, and each tries to
// open the name again under it: what it removes is then still the thing nobody could open, never
// the new lock file another instance just made and may hold. A thing that can be opened is never
// replaced, as that could be a lock a live process holds.
bool ReplaceUnusable(const std::string& name, TClock::time_point deadline, int& error)
{
    const std::string folder = FolderOf(name);
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) {
        error = errno;
        return false;
    }
    if (!LockWithin(dir, deadline, error))
        return false;
    bool removed = true;
    if (const int fd = OpenLockFile(name); fd >= 0) {
        close(fd);
    } else {
        const int why = errno;
        struct stat seen;
        if (lstat(name.c_str(), &seen) != 0) {
            error = errno;
            removed = false;
        } else if (S_ISDIR(seen.st_mode)) {
            // A folder may hold anything of the user's: it is never removed.
            error = why;
            removed = false;
        } else if (unlink(name.c_str()) != 0) { // a link itself, never what it points to
            error = errno;
            removed = false;
        }
    }
    close(dir);
    return removed;
}

} // namespace

bool TFileLock::Lock(int waitMs)
{
    if (FFd >= 0)
        return true;
    FError = 0;
    const auto deadline = TClock::now() + std::chrono::milliseconds(waitMs);
    bool replaced = false;
    // Each round after the first follows a replacement of the lock file by this or another
    // instance; a handful is more than enough.
    for (int round = 0; round < 8; ++round) {
        const int fd = OpenLockFile(FFileName);
        if (fd < 0) {
            const int why = errno;
            struct stat seen;
            // Only what is there can be replaced: a missing name means the folder itself is the
            // trouble (read-only, full, gone), and that is the reason to tell.
            if (replaced || lstat(FFileName.c_str(), &seen) != 0) {
                FError = why;
                return false;
            }
            int error = why;
            if (!ReplaceUnusable(FFileName, deadline, error)) {
                FError = error;
                return false;
            }
            replaced = true;
            continue;
        }
        int error = 0;
        if (!LockWithin(fd, deadline, error)) {
            FError = error;
            return false;
        }
        // A file that a replacement took from the name while this one waited locks nothing: the
        // lock is the one on the file now at the name.
        struct stat opened, named;
        if (fstat(fd, &opened) == 0 && lstat(FFileName.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
            opened.st_ino == named.st_ino) {
            if (S_ISREG(opened.st_mode) && opened.st_uid == geteuid() && (opened.st_mode & 0777) != 0600)
                fchmod(fd, 0600);
            FFd = fd;
            return true;
        }
        close(fd);
    }
    FError = EWOULDBLOCK;
    return false;
}

void TFileLock::Unlock()
{
    if (FFd >= 0)
        close(FFd);
    FFd = -1;
}
