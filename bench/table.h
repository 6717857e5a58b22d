#pragma once
// The benchmark table: turns finished measurements into rows of
// benchmark | parameter | figure | ratio and prints them as a Markdown
// table. Plain functions on values; any thread.
//
// What a row says depends on the counters a benchmark reports:
//   upload rows (counters kConnectorMiBps, kCurlMiBps, kConnectorPeakMiB,
//     kCurlPeakMiB): both throughputs and peak memories; the ratio is
//     connector / curl for throughput and for peak memory; with
//     kThroughputRatio, kLowestRatio and kHighestRatio (several rounds) the
//     throughput ratio is the rounds' median with their range beside it;
//   rate rows (a counter named "<things>_per_second"): the rate; the ratio
//     is the rate over that of the benchmark's first row;
//   all others: the time per iteration; the ratio is that time over the
//     time of the benchmark's first row.
// A skipped measurement gives a row that says why and has no ratio.

#include <map>
#include <string>
#include <vector>

namespace bench {

extern const char* const kConnectorMiBps;
extern const char* const kCurlMiBps;
extern const char* const kConnectorPeakMiB;
extern const char* const kCurlPeakMiB;
extern const char* const kThroughputRatio;
extern const char* const kLowestRatio;
extern const char* const kHighestRatio;

struct Measurement {
    std::string benchmark;  // e.g. "heartbeat tick"
    std::string parameter;  // e.g. "10 instances"
    double secondsPerIteration = 0;
    std::map<std::string, double> counters;
    std::string skipped;  // why it did not run; empty when it did
};

struct Row {
    std::string benchmark;
    std::string parameter;
    std::string figure;
    std::string ratio;
};

std::vector<Row> makeRows(const std::vector<Measurement>& measurements);

// A Markdown table with padded columns; without figures it keeps only
// benchmark, parameter and ratio (what may be quoted without the machine's
// absolute speed).
std::string formatTable(const std::vector<Row>& rows, bool withFigures);

// Three significant digits in a fitting unit: "812 ns", "12.4 µs", "3.05 s".
std::string formatSeconds(double seconds);
// Three significant digits at most, no exponent: "0.742", "12.4", "12345".
std::string formatNumber(double value);

}  // namespace bench
