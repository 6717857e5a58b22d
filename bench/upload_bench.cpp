// Upload of 16 MiB, 256 MiB and 1 GiB files to the cloud emulator, through
// the connector and with `curl -T`, alternately in the same run. The
// benchmark's time is the connector's; counters carry both throughputs and
// both peak memories. Sizes that do not fit the machine are skipped.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>

#include "bench/context.h"
#include "bench/resources.h"
#include "bench/table.h"
#include "bench/upload_comparison.h"

namespace bench {
namespace {

void upload(benchmark::State& state) {
    const uint64_t bytes = static_cast<uint64_t>(state.range(0)) * 1024 * 1024;
    state.SetLabel(formatBytes(bytes));
    const std::string folder = scratchFolder() + "/upload";
    std::filesystem::create_directories(folder);
    const std::string misfit = uploadDoesNotFit(bytes, freeDiskBytes(folder), availableMemoryBytes());
    if (!misfit.empty()) {
        state.SkipWithError(misfit.c_str());
        return;
    }
    try {
        const std::string file = folder + "/bench.3mf";
        writeBenchFile(file, bytes);
        UploadComparison comparison(folder, programsFolder());
        double connectorSeconds = 0, curlSeconds = 0;
        long connectorPeak = 0, curlPeak = 0;
        for (auto _ : state) {
            const UploadRun connector = comparison.viaConnector(file);
            const UploadRun curl = comparison.viaCurl(file);
            state.SetIterationTime(connector.seconds);
            connectorSeconds += connector.seconds;
            curlSeconds += curl.seconds;
            connectorPeak = std::max(connectorPeak, connector.peakKiB);
            curlPeak = std::max(curlPeak, curl.peakKiB);
        }
        const double mebibytes = static_cast<double>(bytes) / (1024 * 1024) * static_cast<double>(state.iterations());
        state.counters[kConnectorMiBps] = mebibytes / connectorSeconds;
        state.counters[kCurlMiBps] = mebibytes / curlSeconds;
        state.counters[kConnectorPeakMiB] = static_cast<double>(connectorPeak) / 1024;
        state.counters[kCurlPeakMiB] = static_cast<double>(curlPeak) / 1024;
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

// Fewer rounds for the larger files: each round moves the file twice.
BENCHMARK(upload)->Arg(16)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(upload)->Arg(256)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(upload)->Arg(1024)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bench
