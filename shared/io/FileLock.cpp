#include "shared/io/FileLock.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

bool TFileLock::Lock(int waitMs)
{
    if (FFd >= 0)
        return true;
    FError = 0;
    const int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int fd = open(FFileName.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | flags, 0600);
    // Whatever is in the lock file's place serves as well, as long as it can be opened: a folder,
    // a file this user may only read, a link. Failing that, the first reason is the one to tell
    // (a read-only folder, a full disk).
    if (fd < 0) {
        const int first = errno;
        fd = open(FFileName.c_str(), O_RDONLY | flags);
        if (fd < 0) {
            FError = first;
            return false;
        }
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            FFd = fd;
            return true;
        }
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) {
            FError = errno == EINTR ? EWOULDBLOCK : errno;
            close(fd);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void TFileLock::Unlock()
{
    if (FFd >= 0)
        close(FFd);
    FFd = -1;
}
