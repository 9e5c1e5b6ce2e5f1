// The update installer: started by the program just before it closes, it waits for the program
// to end, then
//   method 0: puts every file named in its queue in place of its target (from "<target>.uTMP"),
//     all or none, after ending any earlier installation of the program that was cut short;
//   method 1: runs the setup program downloaded into its own private folder (the queue's first
//     file, the one the update names as its setup) from there and waits for it;
// starts the program again (with the restart parameter when all went well) and removes its own
// private folder. An update that did not complete leaves word there for the program's next
// start, which tells the user; an installation that could not be ended leaves its journal too.
//
//   Vodezora4 <program file> <restart parameter> <queue file> <program's process id> <method>
//
// No Qt: this program must run while the program's own libraries are being replaced.

#include "updater/installer/UpdInstallation.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using updInstall::Folder;

// A process counts as ended when it is gone or only a zombie waiting for its parent.
bool ProcessRunning(pid_t pid)
{
    if (pid <= 0)
        return false;
    if (kill(pid, 0) != 0 && errno == ESRCH)
        return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return true;
    const auto close = line.rfind(')');
    return !(close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z');
}

using updInstall::ReadQueue;

// How long an installation waits for another one of the same folder (or a stuck process that
// holds its lock): the program has already closed, so the user waits with nothing on the screen.
constexpr int FolderLockSeconds = 10;

// The program hands its hold on the private folder down to this program; every descriptor this
// program was given is closed to the programs it starts. Answers the hold (none when the program
// kept it to itself).
updInstall::TFolderLock InheritedHold(const std::string& privateFolder)
{
    struct stat folder {};
    DIR* fds = opendir("/proc/self/fd");
    if (!fds || stat(privateFolder.c_str(), &folder) != 0) {
        if (fds)
            closedir(fds);
        return {};
    }
    int hold = -1;
    while (const dirent* d = readdir(fds)) {
        const int fd = std::atoi(d->d_name);
        struct stat st {};
        if (fd <= STDERR_FILENO || fd == dirfd(fds) || fstat(fd, &st) != 0)
            continue;
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        if (hold < 0 && S_ISDIR(st.st_mode) && st.st_dev == folder.st_dev && st.st_ino == folder.st_ino)
            hold = fd;
    }
    closedir(fds);
    return updInstall::TFolderLock(hold);
}

std::string Describe(int status)
{
    if (WIFEXITED(status))
        return "ended with exit code " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return std::string("was ended by the signal ") + strsignal(WTERMSIG(status));
    return "did not end normally";
}

pid_t Spawn(const std::string& file, const std::vector<std::string>& arguments, const std::string& folder,
            bool newSession, std::string& error)
{
    std::vector<char*> argv;
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    if (newSession)
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, file.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        error = "cannot start " + file + ": " + std::strerror(rc);
        return -1;
    }
    return pid;
}

// The setup program and the files that came with it are taken only from this installer's own
// private folder, made by the program for this hand-over and closed to everybody else.
bool RunSetup(const std::string& privateFolder, const std::vector<std::string>& files, std::string& error)
{
    struct stat folder {};
    if (lstat(privateFolder.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode) || folder.st_uid != geteuid() ||
        (folder.st_mode & 077)) {
        error = "refused setup outside a private folder: " + privateFolder;
        return false;
    }
    if (files.empty()) {
        error = "the update names no setup program";
        return false;
    }
    for (const std::string& file : files) {
        const std::string temp = file + updInstall::TempSuffix;
        struct stat st {};
        if (!updInstall::InsideFolder(file, privateFolder) || !updInstall::Confined(file, privateFolder, error)) {
            error = "refused setup file outside " + privateFolder + ": " + file;
            return false;
        }
        if (lstat(temp.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || rename(temp.c_str(), file.c_str()) != 0) {
            error = "no downloaded file " + temp;
            return false;
        }
    }
    chmod(files.front().c_str(), 0700);
    const pid_t pid = Spawn(files.front(), {files.front()}, privateFolder, false, error);
    if (pid < 0)
        return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        const auto slash = files.front().rfind('/');
        error = "its setup program " + files.front().substr(slash + 1) + " " + Describe(status);
        return false;
    }
    return true;
}

bool Replace(const std::string& programFile, const std::string& queueFile, std::string& error)
{
    const std::string privateFolder = Folder(queueFile);
    const std::string programFolder = Folder(programFile);
    // Installations of this folder take turns, and one cut short is ended before this one.
    const updInstall::TFolderLock lock = updInstall::LockFolder(programFolder, FolderLockSeconds * 1000);
    if (!lock.Held()) {
        error = errno == EWOULDBLOCK ? "another installation kept the folder " + programFolder + " busy for more than " +
                                           std::to_string(FolderLockSeconds) + " seconds, so nothing was changed"
                                     : "cannot open the folder " + programFolder + ": " + std::strerror(errno);
        return false;
    }
    updInstall::RecoverAll(Folder(privateFolder), programFolder, updInstall::TRecoveryScope::Journals, privateFolder);
    bool ok = false;
    std::vector<std::string> targets;
    // This queue's own installation may have been cut short: a second run ends it.
    switch (updInstall::Recover(privateFolder, programFolder, error)) {
    case updInstall::TRecovery::None:
        ok = ReadQueue(queueFile, targets, error) && updInstall::Install(privateFolder, programFile, targets, error);
        break;
    case updInstall::TRecovery::Installed: ok = true; break;
    default: break;
    }
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 6 || (std::strcmp(argv[5], "0") != 0 && std::strcmp(argv[5], "1") != 0)) {
        std::fprintf(stderr, "usage: Vodezora4 <program file> <restart parameter> <queue file> <process id> <0|1>\n");
        return 2;
    }
    const std::string programFile = argv[1];
    const std::string restartParameter = argv[2];
    const std::string queueFile = argv[3];
    const pid_t pid = pid_t(std::strtol(argv[4], nullptr, 10));
    const bool setup = argv[5][0] == '1';
    signal(SIGHUP, SIG_IGN);
    if (programFile.empty() || programFile[0] != '/' || queueFile.empty() || queueFile[0] != '/') {
        std::fprintf(stderr, "Vodezora4: the program and queue files must be full names\n");
        return 2;
    }
    // This program's own folder goes at the end; the program starts again in its own.
    if (chdir(Folder(programFile).c_str()) != 0 && chdir("/") != 0)
        return 2;

    const std::string privateFolder = Folder(queueFile);
    updInstall::TFolderLock hold = InheritedHold(privateFolder);
    std::vector<std::string> files;
    std::string error;
    // The program closes once it has seen this program start; a program that hangs on exit is
    // not overwritten under its feet. A program that kept its hold lets go of it as it ends.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool ok = true;
    while (ok && ProcessRunning(pid)) {
        ok = std::chrono::steady_clock::now() <= deadline;
        if (!hold.Held())
            hold = updInstall::LockFolder(privateFolder);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!hold.Held())
        hold = updInstall::LockFolder(privateFolder);
    if (!ok) {
        std::fprintf(stderr, "Vodezora4: the program did not end; nothing replaced\n");
        const std::string folder = Folder(programFile);
        if (ReadQueue(queueFile, files, error))
            for (const std::string& f : files)
                if (updInstall::InsideFolder(f, folder) && updInstall::Confined(f, folder, error))
                    unlink((f + updInstall::TempSuffix).c_str());
        updInstall::RemovePrivateFolder(privateFolder, files);
        return 3;
    }

    ok = setup ? ReadQueue(queueFile, files, error) && RunSetup(privateFolder, files, error)
               : Replace(programFile, queueFile, error);
    if (!ok) {
        std::fprintf(stderr, "Vodezora4: %s\n", error.c_str());
        updInstall::LeaveWord(privateFolder, Folder(programFile), error);
    }
    // What did not complete stays for the program's next start, which tells the user and clears
    // it, and so does an installation whose journal is left (not ended, or ended without its last
    // mark), which that start ends.
    struct stat journal {};
    if (ok && lstat((privateFolder + "/" + updInstall::JournalName).c_str(), &journal) != 0)
        updInstall::RemovePrivateFolder(privateFolder, setup ? files : std::vector<std::string>());
    // Let go before the program starts, so that its start finds the folder free.
    hold.Release();
    std::string startError;
    std::vector<std::string> arguments{programFile};
    if (ok)
        arguments.push_back(restartParameter);
    const bool started = Spawn(programFile, arguments, {}, true, startError) > 0;
    if (!started)
        std::fprintf(stderr, "Vodezora4: %s\n", startError.c_str());
    return ok && started ? 0 : 1;
}
