// The update installer: started by the program just before it closes, it waits for the program
// to end, puts every file named in its queue in place of its target (from "<target>.uTMP"),
// starts the program again and removes its own private folder.
//
//   Vodezora4 <program file> <restart parameter> <queue file> <program's process id>
//
// Every replacement is an atomic rename; the old files are kept until every rename has
// succeeded and are put back if one fails. Only targets inside the program's folder are taken.
// No Qt: this program must run while the program's own libraries are being replaced.

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

const char* const TempSuffix = ".uTMP";
const char* const OldSuffix = ".uOLD";

std::string Folder(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

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

// A queued target must name a file directly or below the program's folder, without "." or
// ".." steps: a queue that points elsewhere is refused whole.
bool InsideFolder(const std::string& target, const std::string& folder)
{
    if (target.size() <= folder.size() + 1 || target.compare(0, folder.size(), folder) != 0 ||
        target[folder.size()] != '/')
        return false;
    std::string rest = target.substr(folder.size() + 1);
    size_t start = 0;
    while (start <= rest.size()) {
        const size_t end = rest.find('/', start);
        const std::string part = rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return true;
}

bool ReadQueue(const std::string& queueFile, const std::string& folder, std::vector<std::string>& targets)
{
    std::ifstream in(queueFile, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "Vodezora4: cannot read the queue %s\n", queueFile.c_str());
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        if (!InsideFolder(line, folder)) {
            std::fprintf(stderr, "Vodezora4: refused target outside %s: %s\n", folder.c_str(), line.c_str());
            return false;
        }
        targets.push_back(line);
    }
    return true;
}

bool Flush(const std::string& file)
{
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = fsync(fd) == 0;
    close(fd);
    return ok;
}

void FlushFolder(const std::string& folder)
{
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

struct TReplacement {
    std::string Target;
    bool HadOld = false;
    bool Replaced = false;
};

// Replaces all or nothing: answers false with every target as it was.
bool ReplaceAll(const std::vector<std::string>& targets, const std::string& programFile)
{
    std::vector<TReplacement> done;
    bool ok = true;
    for (const std::string& target : targets) {
        const std::string temp = target + TempSuffix;
        struct stat tempInfo {};
        if (stat(temp.c_str(), &tempInfo) != 0 || !S_ISREG(tempInfo.st_mode) || !Flush(temp)) {
            std::fprintf(stderr, "Vodezora4: no downloaded file %s\n", temp.c_str());
            ok = false;
            break;
        }
        TReplacement r{target};
        struct stat old {};
        if (lstat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
            r.HadOld = true;
            chmod(temp.c_str(), old.st_mode & 07777);
            const std::string keep = target + OldSuffix;
            unlink(keep.c_str());
            // A second name for the old file keeps it while the rename replaces the first.
            if (link(target.c_str(), keep.c_str()) != 0 && rename(target.c_str(), keep.c_str()) != 0) {
                std::fprintf(stderr, "Vodezora4: cannot keep %s: %s\n", target.c_str(), std::strerror(errno));
                ok = false;
                break;
            }
        } else if (target == programFile) {
            chmod(temp.c_str(), 0755);
        }
        done.push_back(r);
        if (rename(temp.c_str(), target.c_str()) != 0) {
            std::fprintf(stderr, "Vodezora4: cannot replace %s: %s\n", target.c_str(), std::strerror(errno));
            ok = false;
            break;
        }
        done.back().Replaced = true;
    }
    for (auto it = done.rbegin(); it != done.rend(); ++it) {
        const std::string keep = it->Target + OldSuffix;
        if (ok) {
            unlink(keep.c_str());
        } else if (it->HadOld) {
            rename(keep.c_str(), it->Target.c_str());
        } else if (it->Replaced) {
            unlink(it->Target.c_str());
        }
    }
    // Whatever was downloaded and not put in place goes: it is never taken later.
    for (const std::string& target : targets)
        unlink((target + TempSuffix).c_str());
    FlushFolder(Folder(programFile));
    return ok;
}

bool StartProgram(const std::string& programFile, const std::string& restartParameter, bool withParameter)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(programFile.c_str()));
    if (withParameter)
        argv.push_back(const_cast<char*>(restartParameter.c_str()));
    argv.push_back(nullptr);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, programFile.c_str(), nullptr, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    if (rc != 0)
        std::fprintf(stderr, "Vodezora4: cannot start %s: %s\n", programFile.c_str(), std::strerror(rc));
    return rc == 0;
}

void RemoveOwnFolder(const std::string& queueFile, const char* self)
{
    const std::string folder = Folder(queueFile);
    unlink(queueFile.c_str());
    if (self && Folder(self) == folder)
        unlink(self);
    rmdir(folder.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: Vodezora4 <program file> <restart parameter> <queue file> <process id>\n");
        return 2;
    }
    const std::string programFile = argv[1];
    const std::string restartParameter = argv[2];
    const std::string queueFile = argv[3];
    const pid_t pid = pid_t(std::strtol(argv[4], nullptr, 10));
    signal(SIGHUP, SIG_IGN);
    if (programFile.empty() || programFile[0] != '/') {
        std::fprintf(stderr, "Vodezora4: the program file must be a full name\n");
        return 2;
    }
    // This program's own folder goes at the end; the program starts again in its own.
    if (chdir(Folder(programFile).c_str()) != 0)
        chdir("/");

    // The program closes once it has seen this program start; a program that hangs on exit is
    // not overwritten under its feet.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (ProcessRunning(pid)) {
        if (std::chrono::steady_clock::now() > deadline) {
            std::fprintf(stderr, "Vodezora4: the program did not end; nothing replaced\n");
            std::vector<std::string> targets;
            if (ReadQueue(queueFile, Folder(programFile), targets))
                for (const std::string& t : targets)
                    unlink((t + TempSuffix).c_str());
            RemoveOwnFolder(queueFile, argv[0]);
            return 3;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    std::vector<std::string> targets;
    const bool ok = ReadQueue(queueFile, Folder(programFile), targets) && ReplaceAll(targets, programFile);
    const bool started = StartProgram(programFile, restartParameter, ok);
    RemoveOwnFolder(queueFile, argv[0]);
    return ok && started ? 0 : 1;
}
