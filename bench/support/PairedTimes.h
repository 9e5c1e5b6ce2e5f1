#pragma once
// An operation timed in turns with its reference in the same run: the machine may be shared, so
// what a figure promises is the ratio of the two, taken pair by pair, not a time of its own.
// Report puts the medians and the median ratio into the benchmark's counters.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

class TPairedTimes {
public:
    // Seconds that f takes to run once.
    template <class F>
    static double Time(F&& f)
    {
        const auto start = std::chrono::steady_clock::now();
        f();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

    void Add(double seconds, double referenceSeconds)
    {
        FTimes.push_back(seconds);
        FReferences.push_back(referenceSeconds);
        FRatios.push_back(referenceSeconds > 0 ? seconds / referenceSeconds : 0);
    }

    // Counters <name>_ms and <reference>_ms (medians) and ratio (the median of the pairs' ratios).
    void Report(benchmark::State& state, const std::string& name, const std::string& reference) const
    {
        state.counters[name + "_ms"] = Median(FTimes) * 1000;
        state.counters[reference + "_ms"] = Median(FReferences) * 1000;
        state.counters["ratio"] = Median(FRatios);
    }

    static double Median(std::vector<double> values)
    {
        if (values.empty())
            return 0;
        std::sort(values.begin(), values.end());
        const size_t n = values.size();
        return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    }

private:
    std::vector<double> FTimes, FReferences, FRatios;
};
