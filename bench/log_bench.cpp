// Log lines per second written by one thread and by two at once (the log
// takes one process-wide lock and opens the file for every line).

#include <benchmark/benchmark.h>

#include "support/log.h"

namespace bench {
namespace {

void logLines(benchmark::State& state) {
    state.SetLabel(state.threads() == 1 ? "1 thread" : std::to_string(state.threads()) + " threads");
    for (auto _ : state) support::log("a benchmark line of typical length", "bench::logLines");
    state.counters["lines_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(logLines)->Name("log_lines")->Threads(1)->Threads(2)->UseRealTime();

}  // namespace
}  // namespace bench
