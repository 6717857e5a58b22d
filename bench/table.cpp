#include "bench/table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace bench {

const char* const kConnectorMiBps = "connector_MiBps";
const char* const kCurlMiBps = "curl_MiBps";
const char* const kConnectorPeakMiB = "connector_peak_MiB";
const char* const kCurlPeakMiB = "curl_peak_MiB";
const char* const kThroughputRatio = "throughput_ratio";
const char* const kLowestRatio = "lowest_ratio";
const char* const kHighestRatio = "highest_ratio";

namespace {

const std::string kRateSuffix = "_per_second";

double counter(const Measurement& measurement, const std::string& name) {
    const auto found = measurement.counters.find(name);
    return found == measurement.counters.end() ? 0 : found->second;
}

// The rate counter's name, or empty when the measurement has none.
std::string rateCounter(const Measurement& measurement) {
    for (const auto& entry : measurement.counters) {
        const std::string& name = entry.first;
        if (name.size() > kRateSuffix.size() &&
            name.compare(name.size() - kRateSuffix.size(), kRateSuffix.size(), kRateSuffix) == 0)
            return name;
    }
    return "";
}

std::string ratioOf(double value, double base) {
    if (base <= 0 || value < 0) return "n/a";
    return formatNumber(value / base);
}

Row uploadRow(const Measurement& m) {
    Row row{m.benchmark, m.parameter, "", ""};
    row.figure = "connector " + formatNumber(counter(m, kConnectorMiBps)) + " MiB/s, peak " +
                 formatNumber(counter(m, kConnectorPeakMiB)) + " MiB; curl " + formatNumber(counter(m, kCurlMiBps)) +
                 " MiB/s, peak " + formatNumber(counter(m, kCurlPeakMiB)) + " MiB";
    // The rounds' own ratios when there were several, else the throughputs'.
    const std::string throughput = m.counters.count(kThroughputRatio)
                                       ? formatNumber(counter(m, kThroughputRatio)) + " (" +
                                             formatNumber(counter(m, kLowestRatio)) + "-" +
                                             formatNumber(counter(m, kHighestRatio)) + ")"
                                       : ratioOf(counter(m, kConnectorMiBps), counter(m, kCurlMiBps));
    row.ratio =
        "throughput " + throughput + ", memory " + ratioOf(counter(m, kConnectorPeakMiB), counter(m, kCurlPeakMiB));
    return row;
}

}  // namespace

std::vector<Row> makeRows(const std::vector<Measurement>& measurements) {
    std::vector<Row> rows;
    // The first measured row of each benchmark is the base of its ratios.
    std::map<std::string, const Measurement*> bases;
    for (const Measurement& m : measurements) {
        if (!m.skipped.empty()) {
            rows.push_back(Row{m.benchmark, m.parameter, "skipped: " + m.skipped, ""});
            continue;
        }
        if (m.counters.count(kConnectorMiBps)) {
            rows.push_back(uploadRow(m));
            continue;
        }
        const Measurement* base = bases.emplace(m.benchmark, &m).first->second;
        const std::string rate = rateCounter(m);
        Row row{m.benchmark, m.parameter, "", ""};
        if (!rate.empty()) {
            const std::string things = rate.substr(0, rate.size() - kRateSuffix.size());
            row.figure = formatNumber(counter(m, rate)) + " " + things + "/s";
            row.ratio = ratioOf(counter(m, rate), counter(*base, rate));
        } else {
            row.figure = formatSeconds(m.secondsPerIteration);
            row.ratio = ratioOf(m.secondsPerIteration, base->secondsPerIteration);
        }
        rows.push_back(row);
    }
    return rows;
}

std::string formatTable(const std::vector<Row>& rows, bool withFigures) {
    std::vector<std::vector<std::string>> cells;
    auto add = [&](const Row& row) {
        if (withFigures) cells.push_back({row.benchmark, row.parameter, row.figure, row.ratio});
        else cells.push_back({row.benchmark, row.parameter, row.ratio});
    };
    add(Row{"benchmark", "parameter", "figure", "ratio"});
    for (const Row& row : rows) add(row);

    // Widths in characters, not bytes: "µ" takes two bytes.
    auto width = [](const std::string& text) {
        return static_cast<size_t>(std::count_if(
            text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
    };
    std::vector<size_t> widths(cells[0].size(), 3);
    for (const auto& line : cells)
        for (size_t i = 0; i < line.size(); ++i) widths[i] = std::max(widths[i], width(line[i]));

    std::string text;
    auto emit = [&](const std::vector<std::string>& line) {
        text += "|";
        for (size_t i = 0; i < line.size(); ++i)
            text += " " + line[i] + std::string(widths[i] - width(line[i]), ' ') + " |";
        text += "\n";
    };
    emit(cells[0]);
    text += "|";
    for (size_t w : widths) text += std::string(w + 2, '-') + "|";
    text += "\n";
    for (size_t i = 1; i < cells.size(); ++i) emit(cells[i]);
    return text;
}

std::string formatNumber(double value) {
    char text[64];
    const double magnitude = std::fabs(value);
    if (magnitude >= 100 || value == 0) std::snprintf(text, sizeof text, "%.0f", value);
    else if (magnitude >= 10) std::snprintf(text, sizeof text, "%.1f", value);
    else if (magnitude >= 1) std::snprintf(text, sizeof text, "%.2f", value);
    else {
        // Below one: as many decimals as three significant digits need.
        const int decimals = 2 - static_cast<int>(std::floor(std::log10(magnitude)));
        std::snprintf(text, sizeof text, "%.*f", decimals, value);
    }
    return text;
}

std::string formatSeconds(double seconds) {
    struct Unit {
        double scale;
        const char* name;
    };
    const Unit units[] = {{1, "s"}, {1e-3, "ms"}, {1e-6, "µs"}, {1e-9, "ns"}};
    for (const Unit& unit : units)
        if (seconds >= unit.scale) return formatNumber(seconds / unit.scale) + " " + unit.name;
    return formatNumber(seconds / 1e-9) + " ns";
}

}  // namespace bench
