#pragma once
// What the machine has left for a benchmark: free disk space in a folder and
// available memory, and the rule deciding whether an upload of a given size
// fits. Plain functions without state; any thread.

#include <cstdint>
#include <string>

namespace bench {

// Bytes an unprivileged process may still write in the folder's file system.
uint64_t freeDiskBytes(const std::string& folder);
// MemAvailable of /proc/meminfo in bytes; 0 when it cannot be read.
uint64_t availableMemoryBytes();

// Why an upload of `fileBytes` cannot run with this much free disk and
// memory, or empty when it fits. On disk lie the file and the emulator's
// two stored copies (connector and curl); memory only needs a fixed margin,
// as both sides stream the file.
std::string uploadDoesNotFit(uint64_t fileBytes, uint64_t freeDisk, uint64_t availableMemory);

// "16 MiB", "1 GiB", "1.5 GiB", "512 B".
std::string formatBytes(uint64_t bytes);

}  // namespace bench
