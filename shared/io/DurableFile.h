#pragma once
// A file written whole or not at all: the one writer of every file the program and its installer
// keep (documents, pictures, style files, settings, the installation journal, the hand-over's
// files). Plain C++ and POSIX, as the installer runs without Qt.
//
// The content goes to a temporary file beside the target. Commit syncs it, puts it in place of
// the target in one rename, and syncs the folder, so that after a power cut the name leads to the
// old content or to the whole new one. On any failure the old file stays as it was, the
// temporary file is removed, and Error() holds the system's errno.
//
// Temporary files are hidden and carry this writer's mark: "." + the target's name + ".qdtmp-" +
// twelve random characters of 0-9 and a-v, for "tree.qdn" such as ".tree.qdn.qdtmp-k03vq9a1t7mc".
// They are made with O_EXCL, so no file is ever taken over. (Of a target's name too long for
// that form, only the first 235 bytes are kept in it.) A writer holds a lock (flock) on its
// temporary file for as long as it works on it, so one that is not locked was left by a writer
// that was killed. Open removes such leftovers of the same target: names of exactly that form,
// and only unlocked plain files of this user. Nothing else beside the target is ever removed, not
// a name that merely looks alike, and not what earlier versions named "<name>." and six letters
// and digits: a leftover costs a few bytes, while a user's file of such a name is worth more.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <sys/types.h>

class TDurableFile {
public:
    explicit TDurableFile(std::string fileName);
    ~TDurableFile();
    TDurableFile(const TDurableFile&) = delete;
    TDurableFile& operator=(const TDurableFile&) = delete;

    // Before Open. Permissions of the new file; by default those of the file it replaces, and
    // 0666 less the umask for a file that is new.
    void SetMode(mode_t mode)
    {
        FMode = mode;
        FModeGiven = true;
    }
    // Before Open. The file is made at its name and must not exist yet: nothing is replaced, and
    // a failure removes what was written. For files in a folder of the caller's own.
    void SetCreateNew() { FCreateNew = true; }
    // Before Open. A temporary name of the caller's choosing in the target's folder, for callers
    // that clean their folder up by name; a file there is removed first, and no leftovers of the
    // form above are looked for.
    void SetTemporaryName(std::string name) { FTemporaryName = std::move(name); }
    // Before Open. Commit leaves the file open for Release.
    void SetKeepOpen() { FKeepOpen = true; }

    // Makes the temporary file (the file itself with SetCreateNew). False, with Error(), when it
    // cannot be made or the target is a folder or a file this user may not write.
    bool Open();
    // Writes all of the bytes; false, with Error(), when any could not be written. After a
    // failure every further write fails too, so that a writer may check only at the end.
    bool Write(const void* data, size_t size);
    bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
    // Syncs the content, renames it over the target and syncs the folder. False, with Error(),
    // when a write failed before or a step fails now; the old file then stays and the temporary
    // file is gone, except when only the folder's sync failed: the new content is in place but
    // its name may not survive a power cut.
    bool Commit();
    // Drops what was written; the old file stays.
    void Discard();

    // The descriptor of the open file, -1 when there is none.
    int Handle() const { return FFd; }
    // After Commit with SetKeepOpen: hands over the descriptor of the file now at the name, open
    // for reading and writing and locked since the file was made; the caller closes it.
    int Release();

    // errno of the first failure, 0 while nothing failed.
    int Error() const { return FError; }
    // The system's words for Error().
    std::string Reason() const;
    // The name written: the target, or where a symbolic link at the target leads.
    const std::string& FileName() const { return FFileName; }

    // Whether name (a file name without its folder) has the form of the temporary files this
    // writer makes for a target named target (both without their folders).
    static bool IsTemporaryName(std::string_view name, std::string_view target);
    // Removes the leftovers of killed writers of fileName (see above); answers how many.
    static int RemoveLeftovers(const std::string& fileName);

private:
    bool Fail(int error);
    bool Create(const std::string& path, mode_t mode);
    void Close();

    std::string FFileName;
    std::string FTemporaryName;
    std::string FTempPath;
    mode_t FMode = 0;
    bool FModeGiven = false;
    bool FCreateNew = false;
    bool FKeepOpen = false;
    // The permissions Commit gives the file; -1 to keep those it was made with.
    int FCommitMode = -1;
    bool FCommitted = false;
    int FFd = -1;
    int FError = 0;
};

// Writes every byte to fd, going on after interrupted and partial writes, then syncs the file.
// False, with errno set, when a write or the sync fails. A file system that cannot sync at all
// counts as synced.
bool WriteAndSync(int fd, const void* data, size_t size);
