// The framework on the simulated host: one heartbeat tick with 0, 10 and
// 100 machine instances, and EXMI::run with 1, 20 and 100 open documents.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "bench/framework_scene.h"

namespace bench {
namespace {

// The UI thread's work for one tick: the host delivers the custom event,
// the handler calls onHeartBeat on every instance (ten setups a document).
void heartbeatTick(benchmark::State& state) {
    const int instances = static_cast<int>(state.range(0));
    state.SetLabel(std::to_string(instances) + " instances");
    FrameworkScene scene((instances + 9) / 10, std::min(instances, 10));
    scene.make();
    scene.run();
    if (scene.instanceCount() != static_cast<size_t>(instances)) {
        state.SkipWithError("the framework made a different number of instances");
        return;
    }
    for (auto _ : state) scene.tick();
}
BENCHMARK(heartbeatTick)->Name("heartbeat_tick")->Arg(0)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);

// EXMI::run with documents that each have a CAM product and one setup;
// making, stopping and releasing the framework are outside the timed part.
void exmiRun(benchmark::State& state) {
    const int documents = static_cast<int>(state.range(0));
    state.SetLabel(std::to_string(documents) + (documents == 1 ? " document" : " documents"));
    FrameworkScene scene(documents, 1);
    for (auto _ : state) {
        state.PauseTiming();
        scene.make();
        state.ResumeTiming();
        scene.run();
        state.PauseTiming();
        const bool complete = scene.instanceCount() == static_cast<size_t>(documents);
        scene.stopAndRelease();
        state.ResumeTiming();
        if (!complete) {
            state.SkipWithError("run did not make one instance per document");
            break;
        }
    }
}
BENCHMARK(exmiRun)->Name("EXMI::run")->Arg(1)->Arg(20)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bench
