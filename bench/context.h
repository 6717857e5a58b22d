#pragma once
// What the benchmark binary's main sets up for the benchmarks: a private
// scratch folder (also the APPDATA of the add-in's log) and the folder of
// the helper programs. Set before any benchmark runs; read-only after.

#include <string>

namespace bench {

// The scratch folder; it and everything in it is removed when the run ends.
const std::string& scratchFolder();
// The folder of the benchmark binary, where bench_upload_client and
// bench_peak_launcher lie too.
const std::string& programsFolder();

}  // namespace bench
