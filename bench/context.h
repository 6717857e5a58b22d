#pragma once
// What the benchmark binary's main sets up for the benchmarks: a private
// scratch folder (also the APPDATA of the add-in's log) and the location of
// the upload client program. Set before any benchmark runs; read-only after.

#include <string>

namespace bench {

// The scratch folder; it and everything in it is removed when the run ends.
const std::string& scratchFolder();
// bench_upload_client, next to the benchmark binary.
const std::string& uploadClientProgram();

}  // namespace bench
