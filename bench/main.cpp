// stratavox_bench: runs every benchmark and prints the table
// (bench/table.h). Google Benchmark's flags apply (--benchmark_filter=...,
// --benchmark_out=FILE for JSON); --ratios-only leaves out the absolute
// figures, for quoting the table without the machine's speed.
//
// The add-in's log goes to a scratch folder (APPDATA), which is removed at
// the end together with every file a benchmark wrote.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <vector>

#include "bench/context.h"
#include "bench/table_reporter.h"

namespace bench {
namespace {
std::string scratch;
std::string programs;
}  // namespace

const std::string& scratchFolder() { return scratch; }
const std::string& programsFolder() { return programs; }

}  // namespace bench

int main(int argc, char** argv) {
    bool withFigures = true;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--ratios-only") == 0) withFigures = false;
        else args.push_back(argv[i]);
    }
    int count = static_cast<int>(args.size());

    std::string pattern = (std::filesystem::temp_directory_path() / "stratavox-bench-XXXXXX").string();
    if (::mkdtemp(&pattern[0]) == nullptr) {
        std::cerr << "stratavox_bench: cannot make a scratch folder\n";
        return 1;
    }
    bench::scratch = pattern;
    std::filesystem::create_directories(bench::scratch + "/Quorvane/Quorvane Kalvix/EXMI-AddIns");
    ::setenv("APPDATA", bench::scratch.c_str(), 1);
    char self[PATH_MAX] = {};
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0)
        bench::programs = std::filesystem::path(std::string(self, static_cast<size_t>(length))).parent_path().string();

    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    bench::TableReporter reporter(withFigures);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::error_code ignored;
    std::filesystem::remove_all(bench::scratch, ignored);
    return 0;
}
