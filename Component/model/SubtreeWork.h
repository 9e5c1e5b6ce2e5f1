#pragma once
// Work over a subtree of a document's cached node order (TDecTreeDocument::PreOrder, with its
// subtree sizes) shared out among threads: whole subtrees, which are contiguous ranges of
// positions, go to the workers, and the few nodes above them stay with the calling thread, done
// before the ranges in a downward walk and after them in an upward one. Each node is written by
// one thread only, so the results are those of a walk on one thread.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct TSubtreePlan {
    std::vector<std::pair<size_t, size_t>> Subtrees; // position ranges [first, second)
    std::vector<size_t> Above;                        // positions above them, in pre-order
};

// Splits the subtree at top into ranges of at most grain nodes and the positions above them.
// opens(i) tells whether a walk goes below position i at all; a node it does not open is handed
// to a worker whole, however large.
template <class Opens>
TSubtreePlan PlanSubtrees(const std::vector<int32_t>& size, size_t top, size_t grain, Opens opens)
{
    TSubtreePlan plan;
    std::vector<size_t> stack{top};
    while (!stack.empty()) {
        const size_t i = stack.back();
        stack.pop_back();
        const size_t end = i + size_t(size[i]);
        if (size_t(size[i]) <= grain || !opens(i)) {
            plan.Subtrees.push_back({i, end});
            continue;
        }
        plan.Above.push_back(i);
        const size_t first = stack.size();
        for (size_t c = i + 1; c < end; c += size_t(size[c]))
            stack.push_back(c);
        std::reverse(stack.begin() + long(first), stack.end());
    }
    return plan;
}

inline TSubtreePlan PlanSubtrees(const std::vector<int32_t>& size, size_t top, size_t grain)
{
    return PlanSubtrees(size, top, grain, [](size_t) { return true; });
}

// The most threads one walk uses, the caller's among them. The walks are bound by memory rather
// than by arithmetic: past this many threads they gain next to nothing, while each thread keeps
// scratch of its own.
constexpr unsigned MaxSubtreeThreads = 8;

// From which size a walk is shared out among threads, and by how many. The sizes are where
// handing the work to other threads starts to pay; they are read where each walk starts, so that
// a test can lower them (and fix the number of threads) to drive small documents through the
// same shared-out paths. Change them only while no walk runs.
struct TSubtreeWorkSettings {
    size_t DocumentFrom = 200000;     // a whole document's values and path values
    size_t EditedSubtreeFrom = 50000; // the subtree an edit reaches, which the edit waits for alone
    size_t SnapshotFrom = 50000;      // packing, copying and letting go an undo snapshot
    size_t RelayoutFrom = 20000;      // a subtree an edit moves or places again
    unsigned Threads = 0;             // 0: as many as the process may run on, up to MaxSubtreeThreads
};

TSubtreeWorkSettings& SubtreeWorkSettings();

// How many processors this process may run on: its affinity (that of the process, not of the
// thread that asks), and the CPU quota of its control group where one is set. The files of the
// control groups are read below root ("/" for the system's own).
unsigned UsableProcessorCount(const std::string& root = "/");
// The processors the control groups of this process grant it, rounded up; 0 where no quota is set
// or none can be read.
unsigned ControlGroupProcessorLimit(const std::string& root);

// How many threads a walk over n nodes uses: one below `from` nodes, where handing work to other
// threads would cost more than it saves.
unsigned SubtreeThreadCount(size_t n, size_t from);

// The grain that gives each of `threads` threads several ranges to take, so a busy processor
// does not hold up the rest.
inline size_t SubtreeGrain(size_t n, unsigned threads)
{
    return std::max<size_t>(1, n / (size_t(threads) * 16));
}

// A piece of work that several threads run at once, each until nothing is left of it. It must
// not throw.
struct TSharedTask {
    void (*Run)(void* context);
    void* Context;
};

// Runs task on the calling thread and on up to `helpers` threads of a pool kept between walks, and
// returns when every one of them has left it. Threads the pool cannot start are done without: the
// calling thread alone can finish the task. Called from one of the pool's threads (work nested in
// a walk), the calling thread runs the task alone, so the pool never waits on itself.
void RunSharedTask(unsigned helpers, TSharedTask task);

// Runs work(first, end) over the plan's ranges on `threads` threads, the caller's among them. The
// first exception thrown by any of them is raised again once all have stopped.
template <class Work>
void ForEachSubtree(const TSubtreePlan& plan, unsigned threads, Work work)
{
    std::atomic<size_t> next{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    auto run = [&] {
        try {
            for (size_t k; (k = next.fetch_add(1)) < plan.Subtrees.size();)
                work(plan.Subtrees[k].first, plan.Subtrees[k].second);
        } catch (...) {
            std::lock_guard<std::mutex> lock(failureLock);
            if (!failure)
                failure = std::current_exception();
            next = plan.Subtrees.size();
        }
    };
    // No more threads than ranges.
    const size_t wanted = std::min<size_t>(threads, plan.Subtrees.size());
    if (wanted <= 1)
        run();
    else
        RunSharedTask(unsigned(wanted - 1), {[](void* f) { (*static_cast<decltype(run)*>(f))(); }, &run});
    if (failure)
        std::rethrow_exception(failure);
}
