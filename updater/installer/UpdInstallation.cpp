#include "updater/installer/UpdInstallation.h"

#include "shared/io/DurableFile.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

// The journal is a text file: a header written whole (and on the disk) before the first entry is
// moved, naming the program folder and every target with whether it had an old entry, and one
// line added for the way it ends: "done" once every target holds its new file (the kept old
// entries may go), or "undo" once it begins to put the old entries back. Everything else
// is read from the folder itself, so every step can be repeated after a kill:
//   forward, per target: keep the old entry as "<target>.uOLD" (a second name for it), then
//     rename "<target>.uTMP" over the target; a missing ".uTMP" means that target is done when
//     the kept entry is no longer the target itself;
//   back, per target: the kept entry returns, a new target that had none goes, then the
//     downloads go.
// A running installation holds a lock on its journal, so a recovery never works beside it.
//
// A private folder is removed only once no journal is left in it: a journal that could not be
// ended, or whose last mark could not be written, is the only way to the end for the next run.

namespace updInstall {

namespace {

const char* const Magic = "quandrel installation 1";
const char* const UndoMark = "undo";
const char* const DoneMark = "done";

bool Exists(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

bool SameEntry(const std::string& a, const std::string& b)
{
    struct stat x {}, y {};
    return lstat(a.c_str(), &x) == 0 && lstat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

std::string Reason(const std::string& what, const std::string& path)
{
    return what + " " + path + ": " + std::strerror(errno);
}

std::string Resolved(const std::string& path)
{
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved)
        return {};
    std::string result(resolved);
    std::free(resolved);
    return result;
}

bool Below(const std::string& path, const std::string& folder)
{
    if (folder == "/")
        return !path.empty() && path[0] == '/';
    return path.compare(0, folder.size(), folder) == 0 &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}

bool Sync(const std::string& path, bool folder)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | (folder ? O_DIRECTORY : O_NOFOLLOW));
    if (fd < 0)
        return false;
    const bool ok = fsync(fd) == 0;
    close(fd);
    return ok;
}

// Every byte written and on the disk.
bool WriteAll(int fd, const std::string& text)
{
    return WriteAndSync(fd, text.data(), text.size());
}

struct TEntry {
    std::string Target;
    bool HadOld = false;
};

struct TJournal {
    std::string Path;
    std::string ProgramFolder;
    std::vector<TEntry> Entries;
    bool Undoing = false;
    bool Done = false;
    int Fd = -1;
    TJournal() = default;
    TJournal(const TJournal&) = delete;
    TJournal& operator=(const TJournal&) = delete;
    ~TJournal()
    {
        if (Fd >= 0)
            close(Fd); // and with it the lock
    }
};

std::string JournalPath(const std::string& privateFolder)
{
    return privateFolder + "/" + JournalName;
}

bool SyncFolders(const std::vector<TEntry>& entries, std::string& error)
{
    std::set<std::string> folders;
    for (const TEntry& e : entries)
        folders.insert(Folder(e.Target));
    for (const std::string& f : folders)
        if (!Sync(f, true)) {
            error = Reason("cannot flush the folder", f);
            return false;
        }
    return true;
}

// Written to a second name and renamed, so that a journal is never seen half-written; locked
// (by the writer, from the moment it makes the file) before it can be seen at all.
bool WriteJournal(TJournal& j, const std::string& privateFolder, std::string& error)
{
    std::string text = std::string(Magic) + "\nfolder " + j.ProgramFolder + "\n";
    for (const TEntry& e : j.Entries)
        text += (e.HadOld ? "old " : "new ") + e.Target + "\n";
    text += "begin\n";
    j.Path = JournalPath(privateFolder);
    TDurableFile file(j.Path);
    file.SetMode(0600);
    file.SetTemporaryName(std::string(JournalName) + ".new");
    file.SetKeepOpen();
    if (!file.Open() || !file.Write(text) || !file.Commit()) {
        errno = file.Error();
        error = Reason("cannot write the journal", j.Path + ".new");
        unlink(j.Path.c_str());
        return false;
    }
    j.Fd = file.Release();
    return true;
}

bool ParseJournal(const std::string& text, TJournal& j)
{
    size_t at = 0;
    bool begun = false;
    for (int line = 0; at < text.size(); ++line) {
        const size_t end = text.find('\n', at);
        if (end == std::string::npos)
            break; // a mark cut short by a kill counts as not written
        const std::string l = text.substr(at, end - at);
        at = end + 1;
        if (line == 0) {
            if (l != Magic)
                return false;
        } else if (line == 1) {
            if (l.rfind("folder ", 0) != 0)
                return false;
            j.ProgramFolder = l.substr(7);
        } else if (!begun && (l.rfind("old ", 0) == 0 || l.rfind("new ", 0) == 0)) {
            j.Entries.push_back({l.substr(4), l[0] == 'o'});
        } else if (!begun && l == "begin") {
            begun = true;
        } else if (begun && l == UndoMark) {
            j.Undoing = true;
        } else if (begun && l == DoneMark) {
            j.Done = true;
        } else {
            return false;
        }
    }
    return begun;
}

bool Forward(const TJournal& j, std::string& error)
{
    for (const TEntry& e : j.Entries) {
        const std::string temp = e.Target + TempSuffix;
        const std::string old = e.Target + OldSuffix;
        if (Exists(temp)) {
            // A second name keeps the old entry, whatever its kind, while the rename replaces
            // the first; where links cannot be made the old entry moves.
            if (e.HadOld && !Exists(old) && linkat(AT_FDCWD, e.Target.c_str(), AT_FDCWD, old.c_str(), 0) != 0 &&
                rename(e.Target.c_str(), old.c_str()) != 0) {
                error = Reason("cannot keep", e.Target);
                return false;
            }
            if (rename(temp.c_str(), e.Target.c_str()) != 0) {
                error = Reason("cannot replace", e.Target);
                return false;
            }
        } else if (!Exists(e.Target) || (e.HadOld && (!Exists(old) || SameEntry(old, e.Target)))) {
            error = "the downloaded file is missing: " + temp;
            return false;
        }
    }
    return SyncFolders(j.Entries, error);
}

bool Back(const TJournal& j, std::string& error)
{
    bool ok = true;
    for (auto it = j.Entries.rbegin(); it != j.Entries.rend(); ++it) {
        const std::string old = it->Target + OldSuffix;
        if (Exists(old)) {
            // rename() between two names of one entry would leave both.
            if (SameEntry(old, it->Target) ? unlink(old.c_str()) != 0 : rename(old.c_str(), it->Target.c_str()) != 0) {
                error = Reason("cannot put back", it->Target);
                ok = false;
            }
        } else if (!it->HadOld && Exists(it->Target) && !Exists(it->Target + TempSuffix)) {
            unlink(it->Target.c_str());
        }
    }
    if (!ok || !SyncFolders(j.Entries, error))
        return false;
    for (const TEntry& e : j.Entries)
        unlink((e.Target + TempSuffix).c_str());
    return SyncFolders(j.Entries, error);
}

bool RemoveJournal(const TJournal& j, std::string& error)
{
    if (unlink(j.Path.c_str()) != 0 || !Sync(Folder(j.Path), true)) {
        error = Reason("cannot remove the journal", j.Path);
        return false;
    }
    return true;
}

bool Mark(TJournal& j, const char* mark)
{
    return lseek(j.Fd, 0, SEEK_END) >= 0 && WriteAll(j.Fd, std::string(mark) + "\n");
}

// Forward unless the installation was already undoing itself; back when forward fails.
TRecovery Complete(TJournal& j, std::string& error)
{
    if (!j.Undoing && (j.Done || Forward(j, error))) {
        // Without the mark the kept entries stay: they tell the next run that the targets are done.
        if (j.Done || Mark(j, DoneMark)) {
            for (const TEntry& e : j.Entries)
                unlink((e.Target + OldSuffix).c_str());
            if (SyncFolders(j.Entries, error))
                RemoveJournal(j, error);
        }
        return TRecovery::Installed;
    }
    // Marked first: from here a later run finishes the undo instead of trying again.
    if (!j.Undoing)
        j.Undoing = Mark(j, UndoMark);
    std::string backError;
    if (!Back(j, backError)) {
        error += (error.empty() ? "" : "; ") + backError;
        return TRecovery::Failed; // the journal stays for the next run
    }
    RemoveJournal(j, backError);
    return TRecovery::RolledBack;
}

bool CheckTarget(const std::string& target, const std::string& programFolder, std::string& error)
{
    if (!InsideFolder(target, programFolder)) {
        error = "refused target outside " + programFolder + ": " + target;
        return false;
    }
    return Confined(target, programFolder, error);
}

// A small file of this user's, whole; no link is followed.
bool ReadText(const std::string& path, std::string& text)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() && st.st_size <= (1 << 22);
    if (ok) {
        text.assign(size_t(st.st_size), '\0');
        ok = pread(fd, text.data(), text.size(), 0) == ssize_t(text.size());
    }
    close(fd);
    return ok;
}

// The private folders in tempFolder, other than except, that this user made and nobody else can
// write into: only those are trusted.
std::vector<std::string> PrivateFolders(const std::string& tempFolder, const std::string& except)
{
    std::vector<std::string> folders;
    DIR* dir = tempFolder.empty() ? nullptr : opendir(tempFolder.c_str());
    if (!dir)
        return folders;
    while (const dirent* d = readdir(dir)) {
        const std::string folder = (tempFolder.back() == '/' ? tempFolder : tempFolder + "/") + d->d_name;
        struct stat st {};
        if (std::strncmp(d->d_name, PrivatePrefix, std::strlen(PrivatePrefix)) == 0 &&
            lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() && !(st.st_mode & 077) &&
            (except.empty() || !SameEntry(folder, except)))
            folders.push_back(folder);
    }
    closedir(dir);
    return folders;
}

enum class TWord { None, Ours, Elsewhere };

// The word an installer left, when it concerns the program folder that resolves to root.
TWord ReadWord(const std::string& privateFolder, const std::string& root, std::string& why)
{
    std::string text;
    if (!ReadText(privateFolder + "/" + WordName, text) || text.rfind("folder ", 0) != 0 || text.back() != '\n')
        return TWord::None;
    const size_t end = text.find('\n');
    if (root.empty() || Resolved(text.substr(7, end - 7)) != root)
        return TWord::Elsewhere;
    why = text.substr(end + 1, text.size() - end - 2);
    return TWord::Ours;
}

// The name a target is compared by: its folder resolved, so that two spellings of one program
// folder name one file.
std::string Key(const std::string& target)
{
    const std::string folder = Resolved(Folder(target));
    return folder.empty() ? target : folder + "/" + target.substr(target.rfind('/') + 1);
}

// The targets the queue and the download record of a private folder name; false when either is
// there and cannot be read.
bool Named(const std::string& privateFolder, std::vector<std::string>& targets)
{
    bool ok = true;
    std::string ignored;
    for (const char* name : {QueueName, DownloadsName}) {
        const std::string file = privateFolder + "/" + name;
        if (Exists(file) && !ReadQueue(file, targets, ignored))
            ok = false;
    }
    return ok;
}

// A download at its name, when that is a plain file of this user; a link there is no download of
// the update's, and nothing is followed.
void RemoveDownload(const std::string& name)
{
    struct stat st {};
    if (lstat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid())
        unlink(name.c_str());
}

// The downloads that the queue and the download record of a folder no journal claims name go,
// except those that work still in hand elsewhere names (claimed), when they concern this program
// folder (or only the private folder itself, as a setup's do), or the installer's word said they
// do; false when they concern another.
bool ClearDownloads(const std::string& privateFolder, const std::string& programFolder, bool ours,
                    const std::set<std::string>& claimed)
{
    std::vector<std::string> targets;
    std::string ignored;
    if (!Named(privateFolder, targets) && !ours)
        return false;
    for (const std::string& target : targets)
        if (!ours && !InsideFolder(target, privateFolder) && !InsideFolder(target, programFolder))
            return false;
    for (const std::string& target : targets)
        if (InsideFolder(target, programFolder) && !claimed.count(Key(target)) &&
            CheckTarget(target, programFolder, ignored))
            RemoveDownload(target + TempSuffix);
    return true;
}

// Whether the refused journal in privateFolder is still to be told: not when this very journal
// (the same file, unchanged) was told before. The mark goes beside it; the journal and all it
// names stay as they are, for the user to look at.
bool FirstRefusal(const std::string& privateFolder)
{
    struct stat st {};
    if (lstat(JournalPath(privateFolder).c_str(), &st) != 0)
        return true;
    const std::string identity = std::to_string(st.st_dev) + " " + std::to_string(st.st_ino) + " " +
                                 std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
                                 std::to_string(st.st_mtim.tv_nsec) + " " + std::to_string(st.st_ctim.tv_sec) + "." +
                                 std::to_string(st.st_ctim.tv_nsec) + "\n";
    const std::string mark = privateFolder + "/" + RefusedName;
    std::string told;
    if (ReadText(mark, told) && told == identity)
        return false;
    // Without the mark (no room for it) the journal is told again at the next start.
    TDurableFile file(mark);
    file.SetMode(0600);
    file.SetTemporaryName(std::string(RefusedName) + ".new");
    if (file.Open() && file.Write(identity))
        file.Commit();
    return true;
}

int RemoveEntry(const char* path, const struct stat*, int, FTW*)
{
    remove(path);
    return 0;
}

// The folder and everything in it; links are removed, never followed.
void RemoveTree(const std::string& folder)
{
    nftw(folder.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

} // namespace

std::string Folder(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool InsideFolder(const std::string& target, const std::string& folder)
{
    if (folder.empty() || folder[0] != '/' || target.size() <= folder.size() + 1 ||
        target.compare(0, folder.size(), folder) != 0 || target[folder.size()] != '/')
        return false;
    size_t start = folder.size() + 1;
    for (;;) {
        const size_t end = target.find('/', start);
        const std::string part = target.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        if (end == std::string::npos)
            return true;
        start = end + 1;
    }
}

bool Confined(const std::string& target, const std::string& folder, std::string& why)
{
    const std::string root = Resolved(folder);
    if (root.empty()) {
        why = Reason("cannot resolve", folder);
        return false;
    }
    std::string resolved;
    if (Exists(target)) {
        resolved = Resolved(target);
        if (resolved.empty()) {
            why = Reason("refused target that leads nowhere", target);
            return false;
        }
    } else {
        std::string existing = Folder(target);
        while (!Exists(existing) && existing != "/" && existing != ".")
            existing = Folder(existing);
        resolved = Resolved(existing);
        if (resolved.empty()) {
            why = Reason("cannot resolve", existing);
            return false;
        }
    }
    if (!Below(resolved, root)) {
        why = "refused target outside " + folder + ": " + target + " leads to " + resolved;
        return false;
    }
    return true;
}

bool Install(const std::string& privateFolder, const std::string& programFile, const std::vector<std::string>& targets,
             std::string& error)
{
    TJournal j;
    j.ProgramFolder = Folder(programFile);
    std::set<std::string> seen;
    bool ok = true;
    for (const std::string& target : targets) {
        const std::string temp = target + TempSuffix;
        struct stat old {}, downloaded {};
        ok = CheckTarget(target, j.ProgramFolder, error);
        if (ok && !seen.insert(target).second) {
            error = "the queue names a target twice: " + target;
            ok = false;
        } else if (ok && lstat(temp.c_str(), &downloaded) != 0) {
            error = Reason("no downloaded file", temp);
            ok = false;
        } else if (ok && !S_ISREG(downloaded.st_mode)) {
            error = "the downloaded file is not a plain file: " + temp;
            ok = false;
        } else if (ok && !Sync(temp, false)) {
            error = Reason("cannot write", temp);
            ok = false;
        }
        const bool hadOld = ok && lstat(target.c_str(), &old) == 0;
        if (hadOld && S_ISDIR(old.st_mode)) {
            error = "a folder is in the way: " + target;
            ok = false;
        }
        // A kept copy from an earlier failure would be taken for this run's.
        if (ok && Exists(target + OldSuffix) && unlink((target + OldSuffix).c_str()) != 0) {
            error = Reason("cannot remove", target + OldSuffix);
            ok = false;
        }
        if (!ok)
            break;
        // The new file gets the permissions of the one it replaces (of the file a link leads to).
        struct stat current {};
        if (stat(target.c_str(), &current) == 0 && S_ISREG(current.st_mode))
            chmod(temp.c_str(), current.st_mode & 07777);
        else if (target == programFile)
            chmod(temp.c_str(), 0755);
        j.Entries.push_back({target, hadOld});
    }
    if (ok && WriteJournal(j, privateFolder, error))
        return Complete(j, error) == TRecovery::Installed;
    // Whatever was downloaded and not put in place goes: it is never taken later.
    std::string ignored;
    for (const std::string& target : targets)
        if (CheckTarget(target, j.ProgramFolder, ignored))
            unlink((target + TempSuffix).c_str());
    return false;
}

TRecovery Recover(const std::string& privateFolder, const std::string& programFolder, std::string& error)
{
    TJournal j;
    j.Path = JournalPath(privateFolder);
    struct stat st {};
    // Nobody else can put a file in this user's private folder but the system's administrator:
    // whatever that is, it is none of this user's work.
    if (lstat(j.Path.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return TRecovery::None;
    } else if (st.st_uid != geteuid()) {
        return TRecovery::Foreign;
    }
    j.Fd = open(j.Path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (j.Fd < 0 && errno == ENOENT)
        return TRecovery::None;
    if (j.Fd < 0) {
        error = Reason("refused journal", j.Path);
        return TRecovery::Refused;
    }
    if (fstat(j.Fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() || st.st_size > (1 << 22)) {
        error = "refused journal " + j.Path;
        return TRecovery::Refused;
    }
    const auto read = [&j](TJournal& into, const struct stat& st) {
        std::string text(size_t(st.st_size), '\0');
        return pread(j.Fd, text.data(), text.size(), 0) == ssize_t(text.size()) && ParseJournal(text, into);
    };
    // Whose journal it is can be read before the lock is taken (the folder line never changes):
    // a start that recovers another folder must not hold this journal even for a moment, or the
    // recovery of its own folder would find it busy and leave it half-installed.
    TJournal head;
    if (!read(head, st)) {
        error = "unreadable journal " + j.Path;
        return TRecovery::Refused;
    }
    const std::string root = Resolved(programFolder);
    if (root.empty() || Resolved(head.ProgramFolder) != root)
        return TRecovery::Elsewhere;
    if (flock(j.Fd, LOCK_EX | LOCK_NB) != 0) {
        error = "its journal " + j.Path + " is held by another process";
        return TRecovery::Busy;
    }
    // Another recovery may have ended it while this one waited to open it.
    struct stat now {};
    if (lstat(j.Path.c_str(), &now) != 0 || now.st_ino != st.st_ino || now.st_dev != st.st_dev)
        return TRecovery::None;
    if (fstat(j.Fd, &now) != 0 || !read(j, now)) {
        error = "unreadable journal " + j.Path;
        return TRecovery::Refused;
    }
    for (const TEntry& e : j.Entries)
        if (!CheckTarget(e.Target, j.ProgramFolder, error))
            return TRecovery::Refused;
    return Complete(j, error);
}

TFolderLock::TFolderLock(TFolderLock&& other) noexcept : FFd(std::exchange(other.FFd, -1)) {}

TFolderLock& TFolderLock::operator=(TFolderLock&& other) noexcept
{
    if (this != &other) {
        Release();
        FFd = std::exchange(other.FFd, -1);
    }
    return *this;
}

TFolderLock::~TFolderLock()
{
    Release();
}

void TFolderLock::ShareWithChildren() const
{
    if (FFd >= 0)
        fcntl(FFd, F_SETFD, 0);
}

void TFolderLock::Release()
{
    if (FFd >= 0)
        close(std::exchange(FFd, -1));
}

TFolderLock LockFolder(const std::string& folder, int waitMilliseconds)
{
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return TFolderLock();
    TFolderLock lock(fd);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) {
            const int why = errno;
            lock.Release();
            errno = why;
            return lock;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return lock;
}

bool ReadQueue(const std::string& queueFile, std::vector<std::string>& targets, std::string& error)
{
    std::string text;
    if (!ReadText(queueFile, text)) {
        error = Reason("cannot read the queue", queueFile);
        return false;
    }
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            targets.push_back(line);
        at = end + 1;
    }
    return true;
}

// A start that only reads the word holds each private folder for a moment, and so may one that
// recovers another program folder. The folder's lock therefore keeps away only what needs the
// folder to stay as it is (its word, its removal, the downloads it names); an installation cut
// short is ended whoever holds its folder, the journal's own lock being what keeps a recovery
// away from an installer at work. So the start that holds the program folder ends every such
// installation, however the other starts are timed.
TRecoveryReport RecoverAll(const std::string& tempFolder, const std::string& programFolder, TRecoveryScope scope,
                           const std::string& except)
{
    TRecoveryReport report;
    const std::string root = Resolved(programFolder);
    struct TUnclaimed {
        std::string Folder;
        TFolderLock Hold;
        bool Ours;
    };
    std::vector<TUnclaimed> unclaimed; // folders no journal claims, held until their downloads went
    std::set<std::string> claimed;     // downloads that work in a held folder may still need
    bool pending = false;              // an installation is left that is not ended
    for (const std::string& folder : PrivateFolders(tempFolder, except)) {
        TFolderLock hold = LockFolder(folder);
        TWord whose = TWord::None;
        if (hold.Held()) {
            std::string word;
            whose = ReadWord(folder, root, word);
            if (whose == TWord::Elsewhere)
                continue;
            if (whose == TWord::Ours && scope != TRecoveryScope::Journals) {
                report.NotCompleted.push_back(word);
                unlink((folder + "/" + WordName).c_str());
            }
        } else if (scope == TRecoveryScope::All) {
            // A program that fills it, or an installer that waits for its program to end.
            std::vector<std::string> targets;
            Named(folder, targets);
            for (const std::string& target : targets)
                claimed.insert(Key(target));
        }
        if (scope == TRecoveryScope::Word)
            continue;
        std::string error;
        switch (Recover(folder, programFolder, error)) {
        case TRecovery::Installed:
        case TRecovery::RolledBack: break;
        case TRecovery::Refused:
            pending = true;
            if (scope == TRecoveryScope::All && FirstRefusal(folder))
                report.Refused.push_back({folder, error});
            continue;
        case TRecovery::Failed:
        case TRecovery::Busy:
            pending = true;
            report.NotEnded.push_back(error);
            continue;
        case TRecovery::None:
            if (hold.Held() && scope == TRecoveryScope::All)
                unclaimed.push_back({folder, std::move(hold), whose == TWord::Ours});
            continue;
        case TRecovery::Elsewhere:
        case TRecovery::Foreign: continue;
        }
        if (!hold.Held() || Exists(JournalPath(folder)))
            continue;
        if (scope == TRecoveryScope::All)
            RemoveTree(folder);
        else
            RemovePrivateFolder(folder);
    }
    // Downloads go only once every installation of the folder is ended: until then they may be
    // what one of them needs, and a folder that names some stays for a later start.
    for (const TUnclaimed& u : unclaimed) {
        std::vector<std::string> targets;
        if ((!pending || (Named(u.Folder, targets) && targets.empty())) &&
            ClearDownloads(u.Folder, programFolder, u.Ours, claimed))
            RemoveTree(u.Folder);
    }
    return report;
}

bool LeaveWord(const std::string& privateFolder, const std::string& programFolder, const std::string& why)
{
    TDurableFile file(privateFolder + "/" + WordName);
    file.SetMode(0600);
    return file.Open() && file.Write("folder " + programFolder + "\n" + why + "\n") && file.Commit();
}

void RemovePrivateFolder(const std::string& privateFolder, const std::vector<std::string>& files)
{
    for (const char* name : {QueueName, InstallerName, JournalName, DownloadsName, RefusedName}) {
        unlink((privateFolder + "/" + name).c_str());
        unlink((privateFolder + "/" + name + ".new").c_str());
    }
    for (const std::string& f : files)
        if (InsideFolder(f, privateFolder)) {
            unlink(f.c_str());
            unlink((f + TempSuffix).c_str());
        }
    rmdir(privateFolder.c_str());
}

} // namespace updInstall
