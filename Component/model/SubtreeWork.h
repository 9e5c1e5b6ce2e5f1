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
#include <system_error>
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

// How many threads a walk over n nodes uses: one below `from` nodes, where starting threads
// would cost more than they save.
inline unsigned SubtreeThreadCount(size_t n, size_t from)
{
    if (n < from)
        return 1;
    return std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
}

// The grain that gives each of `threads` threads several ranges to take, so a busy processor
// does not hold up the rest.
inline size_t SubtreeGrain(size_t n, unsigned threads)
{
    return std::max<size_t>(1, n / (size_t(threads) * 16));
}

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
    std::vector<std::thread> workers;
    // No more threads than ranges.
    const size_t wanted = std::min<size_t>(threads, plan.Subtrees.size());
    for (size_t t = 1; t < wanted; ++t) {
        // Without another thread the ones running (the caller's at least) take the rest.
        try {
            workers.emplace_back(run);
        } catch (const std::system_error&) {
            break;
        }
    }
    run();
    for (std::thread& w : workers)
        w.join();
    if (failure)
        std::rethrow_exception(failure);
}
