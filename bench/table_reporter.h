#pragma once
// TableReporter is the benchmark binary's display: while benchmarks run it
// prints one progress line per finished run to standard error, and at the
// end the whole table (bench/table.h) to standard output (the reporter's
// error and output streams). Google
// Benchmark calls it on the thread that runs the benchmarks.
//
// A benchmark names its row through its registered name (the part before
// the first "/", with "_" shown as " ") and its label (the parameter).

#include <benchmark/benchmark.h>

#include <vector>

#include "bench/table.h"

namespace bench {

class TableReporter : public benchmark::BenchmarkReporter {
public:
    explicit TableReporter(bool withFigures) : withFigures_(withFigures) {}

    bool ReportContext(const Context& context) override;
    void ReportRuns(const std::vector<Run>& runs) override;
    void Finalize() override;

    const std::vector<Measurement>& measurements() const { return measurements_; }

private:
    bool withFigures_;
    std::vector<Measurement> measurements_;
};

// The table's view of one Google Benchmark run.
Measurement toMeasurement(const benchmark::BenchmarkReporter::Run& run);

}  // namespace bench
