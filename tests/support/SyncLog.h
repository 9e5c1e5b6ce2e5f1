#pragma once
// Watches the program's syncs: fsync is replaced for the whole test program (include this header
// in one of its files only), so a test can tell whether a writer synced a file's content before
// the rename that gave it its name and the folder after that rename, and can make a folder's sync
// fail as a disk would.

#include <cerrno>
#include <dlfcn.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace synclog {

struct TSync {
    bool Folder = false;
    dev_t Device = 0;
    ino_t Inode = 0;
    // What the watched name led to at that moment (0: nothing).
    ino_t WatchedInode = 0;
};

inline std::mutex& Guard()
{
    static std::mutex guard;
    return guard;
}
// Read while no other thread syncs.
inline std::vector<TSync>& Log()
{
    static std::vector<TSync> log;
    return log;
}
// The name whose file each sync records.
inline std::string& Watched()
{
    static std::string watched;
    return watched;
}
// errno with which folder syncs fail; 0 lets them through.
inline int& FolderSyncError()
{
    static int error = 0;
    return error;
}

inline ino_t InodeOf(const std::string& path)
{
    struct stat st {};
    return !path.empty() && lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Whether a sync of folder happened while name led to the file it leads to now.
inline bool FolderSyncedAfterRename(const std::string& folder, const std::string& name)
{
    struct stat f {};
    const ino_t now = InodeOf(name);
    if (stat(folder.c_str(), &f) != 0 || now == 0)
        return false;
    for (const TSync& s : Log())
        if (s.Folder && s.Device == f.st_dev && s.Inode == f.st_ino && s.WatchedInode == now)
            return true;
    return false;
}

// Whether the file that name leads to now was synced before it took the name, while name led to
// another file or to nothing.
inline bool SyncedBeforeRename(const std::string& name)
{
    struct stat n {};
    if (lstat(name.c_str(), &n) != 0)
        return false;
    for (const TSync& s : Log())
        if (!s.Folder && s.Device == n.st_dev && s.Inode == n.st_ino && s.WatchedInode != n.st_ino)
            return true;
    return false;
}

// Starts a fresh log watching name.
inline void Watch(const std::string& name)
{
    Log().clear();
    Watched() = name;
    FolderSyncError() = 0;
}

} // namespace synclog

extern "C" int fsync(int fd)
{
    using TFsync = int (*)(int);
    static const auto real = reinterpret_cast<TFsync>(dlsym(RTLD_NEXT, "fsync"));
    struct stat st {};
    const bool known = fstat(fd, &st) == 0;
    const std::lock_guard<std::mutex> hold(synclog::Guard());
    synclog::Log().push_back({known && S_ISDIR(st.st_mode), st.st_dev, st.st_ino, synclog::InodeOf(synclog::Watched())});
    if (known && S_ISDIR(st.st_mode) && synclog::FolderSyncError() != 0) {
        errno = synclog::FolderSyncError();
        return -1;
    }
    return real(fd);
}
