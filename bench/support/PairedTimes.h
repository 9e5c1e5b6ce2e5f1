#pragma once
// An operation timed in turns with its reference in the same run: the machine may be shared, so
// what a figure promises is the ratio of the two, taken pair by pair, not a time of its own.
// Report puts the medians and the median ratios into the benchmark's counters: of the time on the
// clock, and of the processor time of the calling thread, which waiting for a busy processor does
// not lengthen.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <string>
#include <vector>

class TPairedTimes {
public:
    struct TTime {
        double Wall = 0; // seconds
        double Cpu = 0;  // seconds of this thread
    };

    // How long f takes to run once.
    template <class F>
    static TTime Time(F&& f)
    {
        const double cpu = ThreadSeconds();
        const auto start = std::chrono::steady_clock::now();
        f();
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return {wall, ThreadSeconds() - cpu};
    }

    void Add(const TTime& time, const TTime& reference)
    {
        FTimes.push_back(time.Wall);
        FReferences.push_back(reference.Wall);
        FRatios.push_back(reference.Wall > 0 ? time.Wall / reference.Wall : 0);
        FCpuRatios.push_back(reference.Cpu > 0 ? time.Cpu / reference.Cpu : 0);
    }

    // Counters <name>_ms and <reference>_ms (medians), ratio and cpu_ratio (medians of the pairs).
    void Report(benchmark::State& state, const std::string& name, const std::string& reference) const
    {
        state.counters[name + "_ms"] = Median(FTimes) * 1000;
        state.counters[reference + "_ms"] = Median(FReferences) * 1000;
        state.counters["ratio"] = Median(FRatios);
        state.counters["cpu_ratio"] = Median(FCpuRatios);
    }

    const std::vector<double>& References() const { return FReferences; }
    const std::vector<double>& Ratios() const { return FRatios; }

    static double Median(std::vector<double> values)
    {
        if (values.empty())
            return 0;
        std::sort(values.begin(), values.end());
        const size_t n = values.size();
        return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    }

    static double ThreadSeconds()
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
    }

private:
    std::vector<double> FTimes, FReferences, FRatios, FCpuRatios;
};
