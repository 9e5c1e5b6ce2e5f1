// Walks shared out among threads: how many threads the process may use (its affinity and its
// control group's quota), and the pool of threads that the walks share.

#include "Component/model/SubtreeWork.h"
#include "support/ChildProcess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <set>
#include <stdexcept>
#include <thread>

namespace {

// The processors this process may run on, from its main thread's mask.
std::vector<int> AllowedProcessors()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    std::vector<int> out;
    if (sched_getaffinity(getpid(), sizeof set, &set) == 0)
        for (int c = 0; c < CPU_SETSIZE; ++c)
            if (CPU_ISSET(c, &set))
                out.push_back(c);
    return out;
}

bool RestrictCallingThread(const std::vector<int>& cpus)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    for (int c : cpus)
        CPU_SET(c, &set);
    return sched_setaffinity(0, sizeof set, &set) == 0;
}

// The second process: "affinity <root> <cpu>...": its main thread, and with it the process, is
// restricted to those processors; it prints what it may use, what a thread that restricted itself
// further to one processor is told, and how many threads a large walk takes.
int AffinityChild(const QStringList& arguments)
{
    if (arguments.size() < 2)
        return 2;
    const std::string root = QFile::encodeName(arguments[0]).toStdString();
    std::vector<int> cpus;
    for (qsizetype i = 1; i < arguments.size(); ++i)
        cpus.push_back(arguments[i].toInt());
    if (!RestrictCallingThread(cpus))
        return 3;
    const unsigned process = UsableProcessorCount(root);
    unsigned fromThread = 0;
    std::thread other([&] {
        if (RestrictCallingThread({cpus.front()}))
            fromThread = UsableProcessorCount(root);
    });
    other.join();
    std::printf("%u %u %u\n", process, fromThread, SubtreeThreadCount(1000, 10));
    return 0;
}
const bool AffinityChildRegistered = RegisterChild("affinity", &AffinityChild);

// The second process: "walks": walks on eight threads, then ends as a program does, which stops
// and joins the pool's threads.
int WalksChild(const QStringList&)
{
    TSubtreePlan plan;
    for (size_t i = 0; i < 64; ++i)
        plan.Subtrees.push_back({i, i + 1});
    std::atomic<size_t> sum{0};
    for (int walk = 0; walk < 100; ++walk)
        ForEachSubtree(plan, 8, [&](size_t first, size_t) { sum += first; });
    std::printf("%zu\n", sum.load());
    return 0;
}
const bool WalksChildRegistered = RegisterChild("walks", &WalksChild);

std::string RunChild(const char* name, const QStringList& arguments)
{
    QProcess child;
    if (!StartChild(child, name, arguments) || !child.waitForFinished(60000) ||
        child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        return "the child failed: " + child.readAllStandardError().toStdString();
    return child.readAllStandardOutput().trimmed().toStdString();
}

void WriteFile(const QString& name, const QByteArray& content)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(name).path()));
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// A plan of n ranges of one position each.
TSubtreePlan Ranges(size_t n)
{
    TSubtreePlan plan;
    for (size_t i = 0; i < n; ++i)
        plan.Subtrees.push_back({i, i + 1});
    return plan;
}

// Holds every caller back until `count` different threads have come, or 20 seconds have passed:
// then the ranges of a walk run on that many threads at once, whatever the machine's load. Once
// the time has passed, nobody is held any more.
class TMeeting {
public:
    explicit TMeeting(size_t count) : FCount(count) {}
    // Whether all came.
    bool Meet()
    {
        std::unique_lock<std::mutex> lock(FLock);
        FCame.insert(std::this_thread::get_id());
        FAll.notify_all();
        if (!FWaited)
            FWaited = !FAll.wait_for(lock, std::chrono::seconds(20), [this] { return FCame.size() >= FCount; });
        return FCame.size() >= FCount;
    }

private:
    const size_t FCount;
    std::mutex FLock;
    std::condition_variable FAll;
    std::set<std::thread::id> FCame;
    bool FWaited = false;
};

} // namespace

// The process's affinity, not that of the thread asking: a process started on fewer processors
// (taskset) uses that many threads, however many the machine has.
TEST(SubtreeWork, TheProcessorsCountedAreThoseTheProcessMayRunOn)
{
    const std::vector<int> allowed = AllowedProcessors();
    ASSERT_FALSE(allowed.empty());
    QTemporaryDir noGroups; // no control group files: the affinity alone counts
    const QString root = noGroups.path();
    EXPECT_EQ(RunChild("affinity", {root, QString::number(allowed[0])}), "1 1 1");
    if (allowed.size() < 2)
        GTEST_SKIP() << "one processor: a thread restricted to one cannot be told from the process";
    // Two or three of them; the test's own machine may set a quota, which bounds the walk's count.
    const unsigned k = unsigned(std::min<size_t>(3, allowed.size()));
    const unsigned quota = ControlGroupProcessorLimit("/");
    const unsigned walk = quota ? std::min(k, quota) : k;
    QStringList arguments{root};
    for (unsigned i = 0; i < k; ++i)
        arguments << QString::number(allowed[i]);
    EXPECT_EQ(RunChild("affinity", arguments), std::to_string(k) + " " + std::to_string(k) + " " + std::to_string(walk));
}

// The quota of the process's own control group, and of every group above it, read from the files
// the system shows (here written below a folder of the test's own): the least grant counts, a
// fraction of a processor rounds up, and files that say nothing readable set no limit.
TEST(SubtreeWork, TheControlGroupQuotaBoundsTheProcessors)
{
    struct TCase {
        const char* Name;
        const char* Groups;                                    // /proc/self/cgroup
        std::vector<std::pair<std::string, const char*>> Files; // below the root
        unsigned Limit;
    };
    std::vector<TCase> cases;
    // The process's group alone, with what its cpu.max says.
    for (const auto& [quota, limit] : std::initializer_list<std::pair<const char*, unsigned>>{
             {"max 100000\n", 0}, {"50000 100000\n", 1}, {"150000 100000\n", 2}, {"200000 100000\n", 2},
             {"750000 250000", 3}, {"many\n", 0}, {"150000\n", 0}, {"", 0}, {"150000 100000 7\n", 0},
             {"150000 0\n", 0}, {"-150000 100000\n", 0}, {"1.5 1\n", 0}})
        cases.push_back({quota, "0::/app\n", {{"sys/fs/cgroup/app/cpu.max", quota}}, limit});
    const char* const v1 = "sys/fs/cgroup/cpu,cpuacct/app/cpu.cfs_";
    cases.insert(cases.end(), {
        {"no file", "0::/app\n", {}, 0},
        {"no groups file", nullptr, {{"sys/fs/cgroup/cpu.max", "100000 100000\n"}}, 0},
        {"a group above grants less", "0::/a/b\n",
         {{"sys/fs/cgroup/a/b/cpu.max", "max 100000\n"}, {"sys/fs/cgroup/a/cpu.max", "300000 100000\n"}}, 3},
        {"the group grants less than the one above", "0::/a/b\n",
         {{"sys/fs/cgroup/a/b/cpu.max", "200000 100000\n"}, {"sys/fs/cgroup/a/cpu.max", "400000 100000\n"}}, 2},
        {"a container's group shown as the mount", "0::/docker/abc\n", {{"sys/fs/cgroup/cpu.max", "400000 100000\n"}}, 4},
        {"another group's quota", "0::/app\n", {{"sys/fs/cgroup/other/cpu.max", "100000 100000\n"}}, 0},
        {"first hierarchy", "5:memory:/app\n4:cpu,cpuacct:/app\n",
         {{v1 + std::string("quota_us"), "250000\n"}, {v1 + std::string("period_us"), "100000\n"},
          {"sys/fs/cgroup/cpu,cpuacct/cpu.cfs_quota_us", "-1\n"}, {"sys/fs/cgroup/cpu,cpuacct/cpu.cfs_period_us", "100000\n"}},
         3},
        {"first hierarchy without quota", "4:cpu,cpuacct:/app\n",
         {{v1 + std::string("quota_us"), "-1\n"}, {v1 + std::string("period_us"), "100000\n"}}, 0},
        {"first hierarchy, controller mounted alone", "3:cpu:/\n",
         {{"sys/fs/cgroup/cpu/cpu.cfs_quota_us", "50000\n"}, {"sys/fs/cgroup/cpu/cpu.cfs_period_us", "100000\n"}}, 1},
        {"a quota of the memory controller", "4:memory:/app\n",
         {{"sys/fs/cgroup/memory/app/cpu.cfs_quota_us", "50000\n"},
          {"sys/fs/cgroup/memory/app/cpu.cfs_period_us", "100000\n"}}, 0},
        {"both hierarchies, the least", "4:cpu:/app\n0::/app\n",
         {{"sys/fs/cgroup/cpu/app/cpu.cfs_quota_us", "500000\n"}, {"sys/fs/cgroup/cpu/app/cpu.cfs_period_us", "100000\n"},
          {"sys/fs/cgroup/app/cpu.max", "200000 100000\n"}}, 2},
    });
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        if (c.Groups)
            WriteFile(dir.filePath(QStringLiteral("proc/self/cgroup")), c.Groups);
        for (const auto& [name, content] : c.Files)
            WriteFile(dir.filePath(QString::fromStdString(name)), content);
        const std::string root = QFile::encodeName(dir.path()).toStdString();
        EXPECT_EQ(ControlGroupProcessorLimit(root), c.Limit);
        // What the process may use is the least of the quota and its affinity.
        const unsigned affinity = unsigned(AllowedProcessors().size());
        EXPECT_EQ(UsableProcessorCount(root), c.Limit ? std::min(c.Limit, affinity) : affinity);
    }
}

// A test may fix the number of threads, even above the processors there are, yet never above the
// most a walk takes; below its threshold a walk stays on one thread.
TEST(SubtreeWork, AFixedThreadCountHoldsAboveTheThreshold)
{
    const TSubtreeWorkSettings saved = SubtreeWorkSettings();
    for (const unsigned fixed : {1u, 2u, 3u, 8u}) {
        SubtreeWorkSettings().Threads = fixed;
        EXPECT_EQ(SubtreeThreadCount(100, 100), fixed);
        EXPECT_EQ(SubtreeThreadCount(99, 100), 1u);
    }
    SubtreeWorkSettings().Threads = 64;
    EXPECT_EQ(SubtreeThreadCount(100, 1), 8u);
    SubtreeWorkSettings() = saved;
}

// The ranges of a walk run on as many threads at once as it asks for, each range once.
TEST(SubtreeWork, AWalkRunsOnSeveralThreadsAtOnce)
{
    for (const size_t threads : {2u, 4u, 8u}) {
        SCOPED_TRACE(threads);
        TMeeting meeting(threads);
        std::vector<std::atomic<int>> runs(threads);
        std::atomic<bool> met{true};
        ForEachSubtree(Ranges(threads), unsigned(threads), [&](size_t first, size_t end) {
            met = meeting.Meet() && met;
            for (size_t i = first; i < end; ++i)
                ++runs[i];
        });
        ASSERT_TRUE(met);
        for (const auto& r : runs)
            EXPECT_EQ(r, 1);
    }
}

// Walk after walk reuses the same few threads: a thread started for each walk would show as a new
// thread id every time. The first walk is held until four threads are in it.
TEST(SubtreeWork, WalksKeepTheirThreads)
{
    std::mutex lock;
    std::set<pid_t> threads;
    TMeeting meeting(4);
    for (int walk = 0; walk < 300; ++walk) {
        std::atomic<size_t> sum{0};
        ForEachSubtree(Ranges(walk == 0 ? 4 : 64), 4, [&](size_t first, size_t) {
            if (walk == 0) {
                EXPECT_TRUE(meeting.Meet());
            }
            sum += first + 1;
            const std::lock_guard<std::mutex> hold(lock);
            threads.insert(gettid());
        });
        ASSERT_EQ(sum, walk == 0 ? 10u : 64u * 65 / 2) << walk;
    }
    // The caller and the pool's threads, however many of them earlier walks started.
    EXPECT_GE(threads.size(), 4u);
    EXPECT_LE(threads.size(), 8u);
}

// An exception thrown on any thread of a walk reaches its caller, once all threads have stopped;
// the threads go on serving later walks.
TEST(SubtreeWork, AnExceptionOfAnyThreadReachesTheCaller)
{
    for (const bool onCaller : {false, true}) {
        SCOPED_TRACE(onCaller);
        const std::thread::id caller = std::this_thread::get_id();
        TMeeting meeting(4);
        std::atomic<int> left{0};
        try {
            ForEachSubtree(Ranges(4), 4, [&](size_t first, size_t) {
                meeting.Meet();
                if ((std::this_thread::get_id() == caller) == onCaller)
                    throw std::runtime_error("range " + std::to_string(first));
                ++left;
            });
            ADD_FAILURE() << "no exception";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()).rfind("range ", 0), 0u) << e.what();
        }
        // The walk returned after every thread had left it.
        EXPECT_EQ(left, onCaller ? 3 : 1);
        std::atomic<size_t> sum{0};
        ForEachSubtree(Ranges(100), 4, [&](size_t first, size_t) { sum += first; });
        EXPECT_EQ(sum, 4950u);
    }
}

// A walk inside a walk's work runs to its end: the pool never waits on itself.
TEST(SubtreeWork, AWalkInsideAWalkFinishes)
{
    std::atomic<size_t> sum{0};
    ForEachSubtree(Ranges(16), 8, [&](size_t first, size_t) {
        ForEachSubtree(Ranges(16), 8, [&](size_t inner, size_t) { sum += first * 16 + inner; });
    });
    EXPECT_EQ(sum, 255u * 256 / 2);
}

// Walks from several threads at once all finish, each with all of its ranges, though they share
// the pool's threads.
TEST(SubtreeWork, WalksFromSeveralThreadsAtOnceFinish)
{
    auto walks = [] {
        for (int walk = 0; walk < 200; ++walk) {
            std::atomic<size_t> sum{0};
            ForEachSubtree(Ranges(50), 8, [&](size_t first, size_t) { sum += first; });
            if (sum != 1225)
                return false;
        }
        return true;
    };
    std::vector<std::future<bool>> callers;
    for (int t = 0; t < 4; ++t)
        callers.push_back(std::async(std::launch::async, walks));
    for (std::future<bool>& c : callers) {
        if (c.wait_for(std::chrono::minutes(2)) != std::future_status::ready) {
            ADD_FAILURE() << "walks from several threads did not finish";
            std::_Exit(1); // the threads stuck in them would hold the test program forever
        }
        EXPECT_TRUE(c.get());
    }
}

// A program that walked on several threads ends: its pool's threads are stopped and joined.
TEST(SubtreeWork, AProgramWithThePoolEnds)
{
    EXPECT_EQ(RunChild("walks", {}), std::to_string(100 * 63 * 64 / 2));
}
