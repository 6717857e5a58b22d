// The benchmarks' figures: what each kind of row says, which row ratios
// refer to, the Markdown layout; and that an upload comparison really stores
// the file's bytes both ways. The rows' figures cover the number formats.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <utility>

#include "bench/table.h"
#include "bench/table_reporter.h"
#include "bench/upload_comparison.h"
#include "cloud/pkce.h"
#include "tests/support/scratch.h"

namespace bench {
namespace {

Measurement timed(const std::string& benchmark, const std::string& parameter, double seconds) {
    Measurement m;
    m.benchmark = benchmark;
    m.parameter = parameter;
    m.secondsPerIteration = seconds;
    return m;
}

Measurement upload(double connector, double curl, double connectorPeak, double curlPeak) {
    Measurement m = timed("upload", "16 MiB", 0.3);
    m.counters = {
        {kConnectorMiBps, connector}, {kCurlMiBps, curl}, {kConnectorPeakMiB, connectorPeak}, {kCurlPeakMiB, curlPeak}};
    return m;
}

TEST(BenchTable, RatiosReferToTheFirstMeasuredRowOfTheirOwnBenchmarkAndUploadsCompareWithCurl) {
    Measurement failedTick = timed("heartbeat tick", "0 instances", 0);
    failedTick.skipped = "broken";
    Measurement lines1 = timed("log lines", "1 thread", 1e-5);
    lines1.counters["lines_per_second"] = 100000;
    Measurement lines2 = timed("log lines", "2 threads", 9e-6);
    lines2.counters["lines_per_second"] = 150000;
    // Several rounds: their median ratio with the range beside it.
    Measurement rounds = upload(50, 200, 1100, 10);
    rounds.counters.insert({{kThroughputRatio, 0.26}, {kLowestRatio, 0.2}, {kHighestRatio, 0.3}});
    Measurement bigUpload = timed("upload", "1 GiB", 0);
    bigUpload.skipped = "needs 3.2 GiB of free disk, 1 GiB available";
    const auto rows =
        makeRows({failedTick, timed("heartbeat tick", "10 instances", 10e-6), rounds,
                  timed("heartbeat tick", "100 instances", 20e-6), timed("EXMI::run", "1 document", 2e-3),
                  timed("heartbeat tick", "1000 instances", 45e-6), timed("EXMI::run", "20 documents", 3e-3), lines1,
                  lines2, upload(50, 0, 1100, 0), bigUpload});
    // Skipped rows say why and are no base; rate rows show the rate, named
    // after the counter; a missing curl figure gives no ratio, not a division by zero.
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"skipped: broken", ""},
        {"10.0 µs", "1.00"},
        {"connector 50.0 MiB/s, peak 1100 MiB; curl 200 MiB/s, peak 10.0 MiB",
         "throughput 0.260 (0.200-0.300), memory 110"},
        {"20.0 µs", "2.00"},
        {"2.00 ms", "1.00"},
        {"45.0 µs", "4.50"},
        {"3.00 ms", "1.50"},
        {"100000 lines/s", "1.00"},
        {"150000 lines/s", "1.50"},
        {"connector 50.0 MiB/s, peak 1100 MiB; curl 0 MiB/s, peak 0 MiB", "throughput n/a, memory n/a"},
        {"skipped: needs 3.2 GiB of free disk, 1 GiB available", ""}};
    std::vector<std::pair<std::string, std::string>> shown;
    for (const auto& row : rows) shown.emplace_back(row.figure, row.ratio);
    EXPECT_EQ(expected, shown);
}

TEST(BenchTable, ReporterTurnsEveryIterationRunIntoARowAndPrintsTheTableAtTheEnd) {
    TableReporter reporter(true);
    benchmark::BenchmarkReporter::Run first, aggregate, second, failed;
    first.run_name.function_name = "EXMI::run";
    first.report_label = "1 document";
    first.iterations = 4;
    first.real_accumulated_time = 0.004;
    aggregate = first;
    aggregate.run_type = benchmark::BenchmarkReporter::Run::RT_Aggregate;
    second = first;
    second.report_label = "20 documents";
    second.real_accumulated_time = 0.016;
    failed.run_name.function_name = "log_lines";
    failed.report_label = "2 threads";
    failed.error_occurred = true;
    failed.error_message = "no room";
    std::ostringstream out, errors;
    reporter.SetOutputStream(&out);
    reporter.SetErrorStream(&errors);
    reporter.ReportRuns({first, aggregate});
    reporter.ReportRuns({second, failed});
    EXPECT_EQ("", out.str());  // the table comes at the end, in one piece
    reporter.Finalize();
    // The aggregate is no row; underscores in names become spaces.
    EXPECT_EQ(0u, out.str().find("| benchmark | parameter    | figure           | ratio |\n"
                                 "|-----------|--------------|------------------|-------|\n"
                                 "| EXMI::run | 1 document   | 1.00 ms          | 1.00  |\n"
                                 "| EXMI::run | 20 documents | 4.00 ms          | 4.00  |\n"
                                 "| log lines | 2 threads    | skipped: no room |       |\n"))
        << out.str();
}

// 64 MiB through the connector in a child process: stored byte for byte,
// with a peak memory less than 16 MiB above that of a 1 MiB upload (a bound
// against the process's own baseline, so that it holds in sanitizer builds
// too, whose shadow memory curl's process does not have).
TEST(UploadComparison, BothWaysStoreTheFilesBytes) {
    testing_support::ScratchFolder scratch;
    UploadComparison comparison(scratch.path(), BENCH_PROGRAMS);
    const uint64_t size = 64 * 1024 * 1024 + 5;
    const std::string file = scratch / "bench.3mf";
    writeBenchFile(file, size);
    const std::string bytes = testing_support::readWholeFile(file);
    ASSERT_EQ(size, bytes.size());
    // Not a repeated block: no transfer could shrink it.
    EXPECT_NE(bytes.substr(0, 512 * 1024), bytes.substr(512 * 1024, 512 * 1024));

    // The emulator refuses a storage PUT that carries Authorization and one
    // whose size differs from the announced one: a stored copy proves both.
    // AddressSanitizer keeps freed blocks in a quarantine of up to 256 MiB,
    // which would count as the upload's memory; the children run without it.
    const char* sanitizerOptions = std::getenv("ASAN_OPTIONS");
    testing_support::EnvironmentOverride noQuarantine{
        "ASAN_OPTIONS", std::string(sanitizerOptions ? sanitizerOptions : "") + ":quarantine_size_mb=0"};
    const std::string small = scratch / "small.3mf";
    writeBenchFile(small, 1024 * 1024);
    const UploadRun baseline = comparison.viaConnector(small);
    const size_t storedBefore = comparison.cloud().storedFiles().size();
    const UploadRun connector = comparison.viaConnector(file);
    const UploadRun curl = comparison.viaCurl(file);
    auto stored = comparison.cloud().storedFiles();
    ASSERT_EQ(storedBefore + 2, stored.size());
    stored.erase(stored.begin(), stored.begin() + static_cast<std::ptrdiff_t>(storedBefore));
    for (const auto& copy : stored) {
        EXPECT_EQ(size, copy.size);
        EXPECT_EQ(EXMIImpl::sha256Hex(bytes), copy.sha256);
        // Only one copy lies on disk at a time; the benchmark removes each.
        EXPECT_FALSE(std::filesystem::exists(copy.path));
    }
    EXPECT_GT(curl.seconds, 0);
    // The file streams from disk: nothing in memory grows with it.
    EXPECT_GT(baseline.peakKiB, 0);
    EXPECT_LT(connector.peakKiB, baseline.peakKiB + 16 * 1024);
    // Both latencies were measured; how short they are is the benchmark's
    // business (a loaded machine may stretch them), the prompt wake-up itself
    // is checked by the request handler's and the palette's tests.
    EXPECT_GT(connector.startToFirstByte, 0);
    EXPECT_GE(connector.answerToSuccess, 0);
}

}  // namespace
}  // namespace bench
