#pragma once
// Putting downloaded files in place of their targets, all of them or none, with a journal that
// lets a later run end an installation cut short (a kill, a logout) on one whole version. Shared
// by the installer program and the program itself (which ends an interrupted installation when it
// starts), so plain C++ and POSIX: the installer runs without Qt.

#include <string>
#include <vector>

namespace updInstall {

inline constexpr const char* TempSuffix = ".uTMP";
inline constexpr const char* OldSuffix = ".uOLD";
inline constexpr const char* InstallerName = "Vodezora4";
inline constexpr const char* QueueName = "UpdaterQueue.txt";
inline constexpr const char* JournalName = "UpdaterJournal.txt";
// Word an installer leaves in its private folder for the program's next start when the update
// did not complete: the program folder's line, then why.
inline constexpr const char* WordName = "UpdaterWord.txt";
// The targets of a program's downloads into the program folder, each written here before its
// download begins: what a program ended before its hand-over left there is found by these names.
inline constexpr const char* DownloadsName = "UpdaterDownloads.txt";
// The journal a start refused and has told the user of, so that it is told once.
inline constexpr const char* RefusedName = "UpdaterRefused.txt";
// The private folders of hand-overs are made in the temporary folder under this prefix.
inline constexpr const char* PrivatePrefix = "quandrel-update-";

// The folder part of a path without its last "/" ("." for a bare name).
std::string Folder(const std::string& path);

// A full path directly or below folder, without empty, "." or ".." steps.
bool InsideFolder(const std::string& target, const std::string& folder);

// Whether target stays inside folder once every symbolic link on the way is followed: the
// target itself when it exists (a link that leads nowhere is refused), else its deepest existing
// folder (the plain names below it cannot lead elsewhere). Both sides are resolved, so a folder
// reached through a link of its own is fine. On refusal why says what.
bool Confined(const std::string& target, const std::string& folder, std::string& why);

// Puts every target's "<target>.uTMP" in the target's place, or none of them: every check is made
// before the first change, and a failure later puts every moved entry back, whatever its kind.
// The journal in privateFolder holds the work while entries are moved. Targets must lie in the
// program file's folder. Whatever was downloaded and not put in place is removed. error says why
// on failure.
bool Install(const std::string& privateFolder, const std::string& programFile, const std::vector<std::string>& targets,
             std::string& error);

// Failed: the old entries could not all be put back; the journal stays for the next run.
enum class TRecovery { None, Busy, Installed, RolledBack, Refused, Failed, Elsewhere, Foreign };

// Ends the installation whose journal lies in privateFolder on one whole version: forward to the
// new files, or back to the old ones once the installation had begun to undo itself or cannot go
// forward. None without a journal; Busy while another process holds the journal (an installer
// at work on it); Elsewhere when the journal concerns another program folder; Foreign when it is
// not this user's; Refused when it cannot be trusted or names a target outside the folder (left
// as it is). The journal stays until the work is done, so a result with the journal still there
// (the last mark or the removal refused) is ended again by the next run.
TRecovery Recover(const std::string& privateFolder, const std::string& programFolder, std::string& error);

// A hold on a folder (a lock on the folder itself), let go when destroyed. Installations of one
// program folder, and their recoveries, take turns by it; a private folder is held by whoever
// works in it (the program while it fills it, then the installer) or reads its word, and a start
// leaves the word, the downloads and the folder itself of a held private folder alone.
class TFolderLock {
public:
    TFolderLock() = default;
    explicit TFolderLock(int fd) noexcept : FFd(fd) {}
    TFolderLock(TFolderLock&& other) noexcept;
    TFolderLock& operator=(TFolderLock&& other) noexcept;
    TFolderLock(const TFolderLock&) = delete;
    TFolderLock& operator=(const TFolderLock&) = delete;
    ~TFolderLock();
    bool Held() const { return FFd >= 0; }
    // Programs started from now on share the hold, which then lasts until they end too.
    void ShareWithChildren() const;
    void Release();

private:
    int FFd = -1;
};

// The hold on folder, waiting up to waitMilliseconds while it is held elsewhere; none (errno
// EWOULDBLOCK, or why the folder cannot be opened) when it stays held or cannot be taken.
TFolderLock LockFolder(const std::string& folder, int waitMilliseconds = 0);

// A journal that cannot be trusted, left as it is in its private folder.
struct TRefusedJournal {
    std::string Folder;
    std::string Why;
};

// What the private folders said about one program folder.
struct TRecoveryReport {
    std::vector<std::string> NotCompleted;  // word of installers whose update did not complete
    std::vector<std::string> NotEnded;      // installations cut short that could not be ended yet, and why
    std::vector<TRefusedJournal> Refused;   // journals refused, each told once
};

enum class TRecoveryScope {
    Word,     // only the installers' word (without the program folder's lock)
    Journals, // installations cut short are ended (an installer, before its own)
    All,      // and what no journal claims goes: a folder left by an installer killed before it wrote
              // its journal, or by a program that ended while it filled one, with the downloads
              // its queue and its download record name, once no installation is left unended
};

// Looks at every private folder in tempFolder, other than except, that this user made and that is
// closed to others (any other folder is left alone without a word), and that concerns
// programFolder. The word is taken only from folders nobody holds; a journal is ended even in a
// folder another process holds (see RecoverAll in the source). A folder whose work is done is
// removed once nobody holds it. Beyond the word, the caller holds the program folder's lock.
TRecoveryReport RecoverAll(const std::string& tempFolder, const std::string& programFolder, TRecoveryScope scope,
                           const std::string& except = {});

// The targets a queue file names, one a line (CR LF or LF), blank lines left out.
bool ReadQueue(const std::string& queueFile, std::vector<std::string>& targets, std::string& error);

// Leaves word in privateFolder that the update of programFolder did not complete, and why.
bool LeaveWord(const std::string& privateFolder, const std::string& programFolder, const std::string& why);

// Removes what a hand-over writes into its private folder, the files named (with their
// ".uTMP"), and the folder when that leaves it empty.
void RemovePrivateFolder(const std::string& privateFolder, const std::vector<std::string>& files = {});

} // namespace updInstall
