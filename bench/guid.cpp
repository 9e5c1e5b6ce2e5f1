// Node ids go to text on every save and back on every load: 100,000 of each per run.
#include "shared/core/Guid.h"

#include <benchmark/benchmark.h>

#include <QString>
#include <vector>

namespace {

constexpr int IdCount = 100000;

std::vector<TGuid> MakeIds()
{
    std::vector<TGuid> ids;
    ids.reserve(IdCount);
    for (int i = 0; i < IdCount; ++i)
        ids.push_back(Guid::NewGuid());
    return ids;
}

void BM_GuidToText100k(benchmark::State& state)
{
    const std::vector<TGuid> ids = MakeIds();
    std::vector<QString> texts(ids.size());
    for (auto _ : state) {
        for (size_t i = 0; i < ids.size(); ++i)
            texts[i] = Guid::ToString(ids[i]);
        benchmark::DoNotOptimize(texts.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_GuidToText100k)->Unit(benchmark::kMillisecond);

void BM_GuidParse100k(benchmark::State& state)
{
    const std::vector<TGuid> ids = MakeIds();
    std::vector<QString> texts;
    texts.reserve(ids.size());
    for (const TGuid& g : ids)
        texts.push_back(Guid::ToString(g));
    std::vector<TGuid> back(ids.size());
    for (auto _ : state) {
        for (size_t i = 0; i < texts.size(); ++i)
            back[i] = Guid::Parse(texts[i]);
        benchmark::DoNotOptimize(back.data());
        benchmark::ClobberMemory();
    }
    if (back != ids)
        state.SkipWithError("parsed ids differ");
}
BENCHMARK(BM_GuidParse100k)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
