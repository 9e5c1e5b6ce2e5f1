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
enum class TRecovery { None, Busy, Installed, RolledBack, Refused, Failed };

// Ends the installation whose journal lies in privateFolder on one whole version: forward to the
// new files, or back to the old ones once the installation had begun to undo itself or cannot go
// forward. None without a journal; Busy while an installer still works on it; Refused when the
// journal concerns another folder or names a target outside it (left as it is).
TRecovery Recover(const std::string& privateFolder, const std::string& programFolder, std::string& error);

// Recover for every private folder in tempFolder, other than except, that this user made and
// closed to others; a folder whose installation was ended is removed. Answers how many were ended.
// The caller holds the program folder's lock.
int RecoverAll(const std::string& tempFolder, const std::string& programFolder, const std::string& except = {});

// Installations of one program folder, and their recoveries, take turns: the lock on the folder
// (an open descriptor, closed to release it; -1 when it is held elsewhere and wait is false).
int LockFolder(const std::string& folder, bool wait);

// Removes what a hand-over writes into its private folder, the files named (with their
// ".uTMP"), and the folder when that leaves it empty.
void RemovePrivateFolder(const std::string& privateFolder, const std::vector<std::string>& files = {});

} // namespace updInstall
