// Cost of the library's own work on the simulated Windows, and how it grows
// with the size of its input. Run by scripts/benchmark.sh, never by the tests.
#include "SessionServices.h"
#include "SimulatedWindows.h"
#include "Text.h"
#include "RegistryReaders.h"

#include <benchmark/benchmark.h>

namespace {

void GetInstallerPropertyBySize(benchmark::State& state) {
    sim::Windows windows;
    windows.properties[u"CustomActionData"] = ca::Text(static_cast<std::size_t>(state.range(0)), u'x');
    for (auto _ : state) {
        benchmark::DoNotOptimize(ca::GetInstallerProperty(sim::Windows::Session, u"CustomActionData"));
        windows.journal.clear();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(GetInstallerPropertyBySize)->RangeMultiplier(10)->Range(10, 1000000)->Complexity(benchmark::oN);

// One field off the front of a CustomActionData text of the given size.
void PopTokenBySize(benchmark::State& state) {
    sim::Windows windows;
    const auto size = static_cast<std::size_t>(state.range(0));
    ca::Text data = u"  C:\\Program Files\\Brennowick\\  |" + ca::Text(size, u'y');
    for (auto _ : state) {
        ca::Text source = data;
        benchmark::DoNotOptimize(ca::PopToken(source));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(PopTokenBySize)->RangeMultiplier(10)->Range(10, 1000000)->Complexity(benchmark::oN);

// A single field of the given size, mostly white space to trim.
void PopTokenTrimBySize(benchmark::State& state) {
    sim::Windows windows;
    const auto size = static_cast<std::size_t>(state.range(0));
    const ca::Text data = ca::Text(size / 2, u' ') + u"x" + ca::Text(size / 2, u'\u3000');
    for (auto _ : state) {
        ca::Text source = data;
        benchmark::DoNotOptimize(ca::PopToken(source));
        windows.journal.clear();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(PopTokenTrimBySize)->RangeMultiplier(10)->Range(10, 1000000)->Complexity(benchmark::oN);

void JoinPathBySize(benchmark::State& state) {
    const ca::Text base(static_cast<std::size_t>(state.range(0)), u'd');
    for (auto _ : state) benchmark::DoNotOptimize(ca::JoinPath(base, u"Temporary ASP.NET Files"));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(JoinPathBySize)->RangeMultiplier(10)->Range(10, 1000000)->Complexity(benchmark::oN);

void FormatTextBySize(benchmark::State& state) {
    const ca::Text name(static_cast<std::size_t>(state.range(0)), u'n');
    for (auto _ : state)
        benchmark::DoNotOptimize(ca::FormatText(u"Error in function %s: %d", {name, std::int32_t{-1603}}));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(FormatTextBySize)->RangeMultiplier(10)->Range(10, 1000000)->Complexity(benchmark::oN);

void ReadRegistryStringBySize(benchmark::State& state) {
    sim::Windows windows;
    const auto bytes = static_cast<std::size_t>(state.range(0));
    windows.SetValue(sim::View::Registry32, u"SOFTWARE\\Microsoft\\InetStp", u"VersionString",
                     win::RegSz, std::vector<std::uint8_t>(bytes, 0x41));
    for (auto _ : state) {
        ca::Text out;
        benchmark::DoNotOptimize(ca::ReadRegistryString(
            win::HKeyLocalMachine, u"SOFTWARE\\Microsoft\\InetStp", u"VersionString", out));
        windows.journal.clear();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(ReadRegistryStringBySize)->RangeMultiplier(10)->Range(10, 1000000)->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
