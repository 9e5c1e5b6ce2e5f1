// Painting asks for effective style values many times per node, and every document load, save
// and style-file operation moves the four style states through XML.
#include "Component/styles/DefaultStyles.h"
#include "Component/styles/StyleTreeSerializer.h"

#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

namespace {

// The longest cascade of the default sheet: a setting that only the base style sets, asked of a
// leaf style of the clone state off the taken path. It walks its own chain and the chains of all
// three alternates (twelve settings) before the base style answers.
void BM_GetEffectiveLongestChain(benchmark::State& state)
{
    TStyleStates states;
    ResetDefaultStyles(states);
    const TColorStyleSetting* setting = states.CloneNotInTakenPath()->DecisionOptionsTakenYes()->LineColor();
    if (setting->GetEffective() != states.InTakenPath()->RootStyle()->LineColor())
        state.SkipWithError("not the longest chain");
    for (auto _ : state) {
        benchmark::DoNotOptimize(setting);
        TColor value = setting->EffectiveValue();
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_GetEffectiveLongestChain);

// Writing the four states into a document, to text, parsing the text and reading it back.
void BM_StyleStatesXmlSaveAndLoad(benchmark::State& state)
{
    TStyleStates source;
    ResetDefaultStyles(source);
    TStyleStates target;
    for (auto _ : state) {
        std::ostringstream text;
        {
            pugi::xml_document doc;
            SaveStyleStates(source, doc.append_child("StyleStates"));
            doc.save(text, "  ");
        }
        const std::string xml = text.str();
        pugi::xml_document doc;
        doc.load_buffer(xml.data(), xml.size(), StyleXmlParseOptions);
        if (!LoadStyleStates(target, doc.child("StyleStates")))
            state.SkipWithError("no style states");
        benchmark::DoNotOptimize(target.InTakenPath());
    }
}
BENCHMARK(BM_StyleStatesXmlSaveAndLoad)->Unit(benchmark::kMicrosecond);

// Copying one object into another, as undo, the style editor and saved styles do.
void BM_StyleStatesAssign(benchmark::State& state)
{
    TStyleStates source;
    ResetDefaultStyles(source);
    TStyleStates target;
    for (auto _ : state) {
        target.Assign(source);
        benchmark::DoNotOptimize(target.InTakenPath());
    }
}
BENCHMARK(BM_StyleStatesAssign)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
