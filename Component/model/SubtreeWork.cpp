#include "Component/model/SubtreeWork.h"

#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <limits>
#include <sstream>
#include <system_error>
#include <thread>

namespace {

// The processors in the affinity of the process. Each thread has an affinity of its own; that of
// the process is its main thread's, whose id is the process's, and every thread it starts begins
// with it. Masks of any size are read, on machines of more processors than a cpu_set_t holds too.
unsigned AffinityProcessorCount()
{
    for (int cpus = CPU_SETSIZE; cpus <= (1 << 20); cpus *= 2) {
        cpu_set_t* set = CPU_ALLOC(size_t(cpus));
        if (!set)
            break;
        const size_t size = CPU_ALLOC_SIZE(size_t(cpus));
        int got = sched_getaffinity(getpid(), size, set);
        // The main thread may have ended before the process (it is a zombie then): the asking
        // thread's affinity is the best left.
        if (got != 0 && errno == ESRCH)
            got = sched_getaffinity(0, size, set);
        const int count = got == 0 ? CPU_COUNT_S(size, set) : 0;
        const bool tooSmall = got != 0 && errno == EINVAL;
        CPU_FREE(set);
        if (count > 0)
            return unsigned(count);
        if (!tooSmall)
            break;
    }
    return std::max(1u, std::thread::hardware_concurrency());
}

// A whole decimal number and nothing else.
bool ReadNumber(const std::string& text, long long& value)
{
    if (text.empty() || text.size() > 18 || text.find_first_not_of("-0123456789") != std::string::npos)
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && end && *end == 0;
}

// What one folder of a control group grants: quota microseconds of processor time every period
// microseconds, as a number of processors rounded up; 0 for no quota (or a file that says nothing
// readable).
unsigned ProcessorsOfQuota(long long quota, long long period)
{
    if (quota <= 0 || period <= 0)
        return 0;
    const long long processors = (quota + period - 1) / period;
    return unsigned(std::min<long long>(processors, std::numeric_limits<unsigned>::max()));
}

std::string FirstLine(const std::string& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// cpu.max: "max 100000" or "150000 100000".
unsigned VersionTwoLimit(const std::string& folder)
{
    std::istringstream line(FirstLine(folder + "/cpu.max"));
    std::string quota, period, rest;
    long long q = 0, p = 0;
    if (!(line >> quota >> period) || (line >> rest) || quota == "max" || !ReadNumber(quota, q) ||
        !ReadNumber(period, p))
        return 0;
    return ProcessorsOfQuota(q, p);
}

// cpu.cfs_quota_us ("-1" for none) and cpu.cfs_period_us.
unsigned VersionOneLimit(const std::string& folder)
{
    long long q = 0, p = 0;
    if (!ReadNumber(FirstLine(folder + "/cpu.cfs_quota_us"), q) ||
        !ReadNumber(FirstLine(folder + "/cpu.cfs_period_us"), p))
        return 0;
    return ProcessorsOfQuota(q, p);
}

// The least that the group at path below mount, or any group above it up to the mount, grants:
// each level's quota holds for everything below it. A container sees its own group as the mount
// while its path still names the group on the host, so the walk up finds it there too.
template <class Limit>
unsigned LeastOnTheWayUp(const std::string& mount, std::string path, Limit limit)
{
    if (path.find("/..") != std::string::npos)
        return 0;
    unsigned least = 0;
    for (;;) {
        while (!path.empty() && path.back() == '/')
            path.pop_back();
        const unsigned here = limit(mount + path);
        if (here && (!least || here < least))
            least = here;
        if (path.empty())
            return least;
        path.erase(path.rfind('/'));
    }
}

} // namespace

TSubtreeWorkSettings& SubtreeWorkSettings()
{
    static TSubtreeWorkSettings settings;
    return settings;
}

unsigned ControlGroupProcessorLimit(const std::string& root)
{
    // Lines of /proc/self/cgroup: "0::/path" for the unified hierarchy, "4:cpu,cpuacct:/path" for
    // the processor controller of the first one.
    std::ifstream groups(root + "/proc/self/cgroup");
    unsigned least = 0;
    auto take = [&least](unsigned limit) {
        if (limit && (!least || limit < least))
            least = limit;
    };
    for (std::string line; std::getline(groups, line);) {
        const size_t first = line.find(':');
        const size_t second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second == std::string::npos)
            continue;
        const std::string id = line.substr(0, first);
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const std::string path = line.substr(second + 1);
        if (path.empty() || path.front() != '/')
            continue;
        if (id == "0" && controllers.empty()) {
            take(LeastOnTheWayUp(root + "/sys/fs/cgroup", path, VersionTwoLimit));
            continue;
        }
        if (("," + controllers + ",").find(",cpu,") == std::string::npos)
            continue;
        for (const char* mount : {"/sys/fs/cgroup/cpu,cpuacct", "/sys/fs/cgroup/cpuacct,cpu", "/sys/fs/cgroup/cpu"}) {
            std::ifstream probe(root + mount + "/cpu.cfs_period_us");
            if (probe) {
                take(LeastOnTheWayUp(root + mount, path, VersionOneLimit));
                break;
            }
        }
    }
    return least;
}

unsigned UsableProcessorCount(const std::string& root)
{
    const unsigned affinity = AffinityProcessorCount();
    const unsigned quota = ControlGroupProcessorLimit(root);
    return quota ? std::min(affinity, quota) : affinity;
}

unsigned SubtreeThreadCount(size_t n, size_t from)
{
    if (n < from)
        return 1;
    if (const unsigned fixed = SubtreeWorkSettings().Threads)
        return std::min(fixed, MaxSubtreeThreads);
    // Asked once: the answer takes a few files to read, and walks come many a second.
    static const unsigned usable = std::clamp(UsableProcessorCount(), 1u, MaxSubtreeThreads);
    return usable;
}

namespace {

// Set on the pool's own threads.
thread_local bool OnPoolThread = false;

// The threads that help with walks, started when a walk first wants them and kept until the
// program ends. A walk posts its task with the number of helpers it wants; each idle thread takes
// one place in it. The walk's own thread works on the task meanwhile, then withdraws the places
// nobody took and waits only for the helpers that did come: a walk never waits for a thread that
// is busy elsewhere, so walks from several threads at once, and a pool short of threads, still
// finish.
class TWalkPool {
public:
    ~TWalkPool()
    {
        // A process forked from this one has none of the threads, and the lock may have been
        // taken by one of them: there is nothing to stop or join.
        if (getpid() != FOwner) {
            new std::vector<std::thread>(std::move(FThreads));
            return;
        }
        {
            std::lock_guard<std::mutex> lock(FLock);
            FStopping = true;
        }
        FWake.notify_all();
        for (std::thread& t : FThreads)
            t.join();
    }

    void Run(unsigned helpers, TSharedTask task)
    {
        if (helpers == 0 || OnPoolThread || getpid() != FOwner) {
            task.Run(task.Context);
            return;
        }
        TJob job{task, 0, 0};
        unsigned places = 0;
        {
            std::lock_guard<std::mutex> lock(FLock);
            while (FThreads.size() < std::min<size_t>(helpers, MaxSubtreeThreads - 1)) {
                try {
                    FThreads.emplace_back(&TWalkPool::Serve, this);
                } catch (const std::system_error&) {
                    break;
                }
            }
            job.Places = places = unsigned(std::min<size_t>(helpers, FThreads.size()));
            if (places)
                FJobs.push_back(&job);
        }
        // Counted before the helpers take their places, which they may do at once.
        for (unsigned k = 0; k < places; ++k)
            FWake.notify_one();
        task.Run(task.Context);
        std::unique_lock<std::mutex> lock(FLock);
        if (job.Places) {
            FJobs.erase(std::find(FJobs.begin(), FJobs.end(), &job));
            job.Places = 0;
        }
        FDone.wait(lock, [&job] { return job.Helping == 0; });
    }

private:
    struct TJob {
        TSharedTask Task;
        unsigned Places;  // helpers it still takes
        unsigned Helping; // helpers at work on it
    };

    void Serve()
    {
        OnPoolThread = true;
        std::unique_lock<std::mutex> lock(FLock);
        for (;;) {
            FWake.wait(lock, [this] { return FStopping || !FJobs.empty(); });
            if (FJobs.empty())
                return;
            TJob& job = *FJobs.front();
            if (--job.Places == 0)
                FJobs.pop_front();
            ++job.Helping;
            lock.unlock();
            job.Task.Run(job.Task.Context);
            lock.lock();
            if (--job.Helping == 0)
                FDone.notify_all();
        }
    }

    std::mutex FLock;
    std::condition_variable FWake; // the helpers: a job, or the end
    std::condition_variable FDone; // the walks: their last helper left
    std::deque<TJob*> FJobs;
    std::vector<std::thread> FThreads;
    bool FStopping = false;
    const pid_t FOwner = getpid();
};

} // namespace

void RunSharedTask(unsigned helpers, TSharedTask task)
{
    static TWalkPool pool;
    pool.Run(helpers, task);
}
