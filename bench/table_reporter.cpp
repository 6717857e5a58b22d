#include "bench/table_reporter.h"

#include <algorithm>
#include <ostream>

namespace bench {

Measurement toMeasurement(const benchmark::BenchmarkReporter::Run& run) {
    Measurement m;
    m.benchmark = run.run_name.function_name;
    std::replace(m.benchmark.begin(), m.benchmark.end(), '_', ' ');
    m.parameter = run.report_label;
    if (run.iterations > 0) m.secondsPerIteration = run.real_accumulated_time / static_cast<double>(run.iterations);
    for (const auto& counter : run.counters) m.counters[counter.first] = counter.second.value;
    if (run.error_occurred) m.skipped = run.error_message;
    return m;
}

bool TableReporter::ReportContext(const Context& context) {
    GetErrorStream() << "running benchmarks on " << context.cpu_info.num_cpus << " cores\n";
    return true;
}

void TableReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        if (run.run_type != Run::RT_Iteration) continue;
        measurements_.push_back(toMeasurement(run));
        const Measurement& m = measurements_.back();
        GetErrorStream() << "  done: " << m.benchmark << " " << m.parameter
                         << (m.skipped.empty() ? "" : " (skipped: " + m.skipped + ")") << "\n";
    }
}

void TableReporter::Finalize() {
    std::ostream& out = GetOutputStream();
    out << formatTable(makeRows(measurements_), withFigures_);
    out << "\nratio: upload rows give connector / curl (throughput, peak memory); "
           "other rows give time, or rate, over that of the benchmark's first row.\n";
    out.flush();
}

}  // namespace bench
