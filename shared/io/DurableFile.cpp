#include "shared/io/DurableFile.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view Mark = ".qdtmp-";
constexpr std::string_view RandomLetters = "0123456789abcdefghijklmnopqrstuv";
constexpr size_t RandomLength = 12;
// The most of a target's name a temporary name keeps, so that it fits NAME_MAX.
constexpr size_t KeptName = NAME_MAX - 1 - Mark.size() - RandomLength;

// What every temporary name of target starts with.
std::string TemporaryPrefix(std::string_view target)
{
    return "." + std::string(target.substr(0, KeptName)) + std::string(Mark);
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Where a symbolic link at path leads, through every link on the way: the new file replaces the
// file a link names, and the link stays. A link that leads nowhere names the file to make.
std::string Resolved(std::string path)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        char target[PATH_MAX];
        const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
        if (n <= 0)
            return path;
        const std::string next(target, size_t(n));
        path = next[0] == '/' ? next : FolderOf(path) + "/" + next;
    }
    return path;
}

bool CannotSync(int error)
{
    return error == EINVAL || error == ENOTSUP || error == EROFS;
}

bool SyncFolder(const std::string& folder)
{
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // A folder this user may write but not read cannot be opened to sync: there is no more to do.
    if (fd < 0)
        return true;
    const bool synced = fsync(fd) == 0 || CannotSync(errno);
    const int error = errno;
    close(fd);
    errno = error;
    return synced;
}

// A fresh temporary name in folder for a target named target.
std::string RandomName(const std::string& folder, const std::string& target)
{
    unsigned char bytes[RandomLength];
    size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n > 0)
            got += size_t(n);
        else if (errno != EINTR)
            break;
    }
    if (got < sizeof bytes) {
        // No random source from the kernel: the clock and the process tell writers apart well
        // enough, as O_EXCL guards against the rest.
        timespec now {};
        clock_gettime(CLOCK_MONOTONIC, &now);
        std::seed_seq seed{int(now.tv_nsec), int(now.tv_sec), int(getpid())};
        std::mt19937 random(seed);
        for (unsigned char& b : bytes)
            b = static_cast<unsigned char>(random());
    }
    std::string name = folder + "/" + TemporaryPrefix(target);
    for (const unsigned char b : bytes)
        name += RandomLetters[b % RandomLetters.size()];
    return name;
}

// Every byte written, going on after interrupted and partial writes; errno tells why not.
bool WriteFully(int fd, const void* data, size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        p += n;
        size -= size_t(n);
    }
    return true;
}

} // namespace

bool WriteAndSync(int fd, const void* data, size_t size)
{
    return WriteFully(fd, data, size) && (fsync(fd) == 0 || CannotSync(errno));
}

TDurableFile::TDurableFile(std::string fileName) : FFileName(std::move(fileName)) {}

TDurableFile::~TDurableFile()
{
    if (FCommitted)
        Close();
    else
        Discard();
}

bool TDurableFile::IsTemporaryName(std::string_view name, std::string_view target)
{
    const std::string prefix = TemporaryPrefix(target);
    if (name.size() != prefix.size() + RandomLength || name.substr(0, prefix.size()) != prefix)
        return false;
    for (const char c : name.substr(prefix.size()))
        if (RandomLetters.find(c) == std::string_view::npos)
            return false;
    return true;
}

int TDurableFile::RemoveLeftovers(const std::string& fileName)
{
    const std::string folder = FolderOf(fileName);
    const std::string base = BaseOf(fileName);
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return 0;
    int removed = 0;
    while (const dirent* entry = readdir(dir)) {
        if (!IsTemporaryName(entry->d_name, base))
            continue;
        const std::string path = folder + "/" + entry->d_name;
        struct stat named {};
        // Nothing but a plain file of this user is even opened: opening a device can act on it.
        if (lstat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode) || named.st_uid != geteuid())
            continue;
        const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat opened {}, still {};
        // Unlocked: no writer works on it any more. The name must still lead to the file locked.
        if (fstat(fd, &opened) == 0 && opened.st_dev == named.st_dev && opened.st_ino == named.st_ino &&
            flock(fd, LOCK_EX | LOCK_NB) == 0 && lstat(path.c_str(), &still) == 0 && still.st_dev == opened.st_dev &&
            still.st_ino == opened.st_ino && unlink(path.c_str()) == 0)
            ++removed;
        close(fd);
    }
    closedir(dir);
    return removed;
}

bool TDurableFile::Fail(int error)
{
    if (FError == 0)
        FError = error != 0 ? error : EIO;
    Discard();
    return false;
}

void TDurableFile::Close()
{
    if (FFd >= 0)
        close(FFd);
    FFd = -1;
}

bool TDurableFile::Create(const std::string& path, mode_t mode)
{
    FFd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (FFd < 0)
        return false;
    FTempPath = path;
    // Locked from the start, and made again when a cleanup took it in the moment before.
    struct stat st {};
    if (flock(FFd, LOCK_EX) != 0 || fstat(FFd, &st) != 0) {
        const int error = errno;
        unlink(path.c_str());
        Close();
        errno = error;
        return false;
    }
    if (st.st_nlink == 0) {
        Close();
        errno = EEXIST;
        return false;
    }
    return true;
}

bool TDurableFile::Open()
{
    if (FFd >= 0 || FCommitted) {
        FError = EBUSY;
        return false;
    }
    FError = 0;
    mode_t mode = FModeGiven ? FMode : 0666;
    if (FCreateNew) {
        // Nothing at the name is followed or replaced, not even a link.
        return Create(FFileName, mode) || Fail(errno);
    }
    FFileName = Resolved(FFileName);
    struct stat target {};
    if (stat(FFileName.c_str(), &target) == 0) {
        if (S_ISDIR(target.st_mode))
            return Fail(EISDIR);
        // The user's protection of a file counts, as it does for the file's own writers.
        if (access(FFileName.c_str(), W_OK) != 0)
            return Fail(errno);
        // Made private and given the old file's permissions once complete: the umask does not
        // apply to them.
        FCommitMode = int(FModeGiven ? FMode : target.st_mode & 07777);
        mode = 0600;
    } else if (errno != ENOENT) {
        return Fail(errno);
    }
    if (!FTemporaryName.empty()) {
        const std::string path = FolderOf(FFileName) + "/" + FTemporaryName;
        unlink(path.c_str());
        return Create(path, mode) || Fail(errno);
    }
    RemoveLeftovers(FFileName);
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (Create(RandomName(FolderOf(FFileName), BaseOf(FFileName)), mode))
            return true;
        if (errno != EEXIST)
            return Fail(errno);
    }
    return Fail(EEXIST);
}

bool TDurableFile::Write(const void* data, size_t size)
{
    if (FFd < 0 || FCommitted) {
        if (FError == 0)
            FError = EBADF;
        return false;
    }
    if (FError != 0)
        return false;
    if (WriteFully(FFd, data, size))
        return true;
    // The file stays open, so that an encoder may go on writing until Commit.
    FError = errno;
    return false;
}

bool TDurableFile::Commit()
{
    if (FCommitted) {
        FError = EBUSY;
        return false;
    }
    if (FFd < 0 || FError != 0)
        return Fail(FError != 0 ? FError : EBADF);
    if (FCommitMode >= 0 && fchmod(FFd, mode_t(FCommitMode)) != 0)
        return Fail(errno);
    if (!WriteAndSync(FFd, nullptr, 0))
        return Fail(errno);
    // Renamed while still locked, so that no cleanup takes the file in between.
    if (!FCreateNew && rename(FTempPath.c_str(), FFileName.c_str()) != 0)
        return Fail(errno);
    FCommitted = true;
    const bool synced = SyncFolder(FolderOf(FFileName));
    if (!synced)
        FError = errno != 0 ? errno : EIO;
    if (!FKeepOpen)
        Close();
    return synced;
}

void TDurableFile::Discard()
{
    if (FFd < 0)
        return;
    if (!FCommitted)
        unlink(FTempPath.c_str());
    Close();
}

int TDurableFile::Release()
{
    if (!FCommitted)
        return -1;
    const int fd = FFd;
    FFd = -1;
    return fd;
}

std::string TDurableFile::Reason() const
{
    return std::strerror(FError);
}
