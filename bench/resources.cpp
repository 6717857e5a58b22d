#include "bench/resources.h"

#include <sys/statvfs.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace bench {
namespace {

constexpr uint64_t kMiB = 1024ull * 1024ull;
// Head room for the log, the emulator and everything else running.
constexpr uint64_t kDiskMargin = 256 * kMiB;
constexpr uint64_t kMemoryMargin = 512 * kMiB;

}  // namespace

uint64_t freeDiskBytes(const std::string& folder) {
    struct statvfs info {};
    if (::statvfs(folder.c_str(), &info) != 0) throw std::runtime_error("cannot read the free space of " + folder);
    return static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
}

uint64_t availableMemoryBytes() {
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    uint64_t value = 0;
    std::string unit;
    while (meminfo >> key >> value) {
        std::getline(meminfo, unit);
        if (key == "MemAvailable:") return value * 1024;
    }
    return 0;
}

std::string uploadDoesNotFit(uint64_t fileBytes, uint64_t freeDisk, uint64_t availableMemory) {
    const uint64_t disk = 3 * fileBytes + kDiskMargin;
    if (freeDisk < disk) return "needs " + formatBytes(disk) + " of free disk, " + formatBytes(freeDisk) + " available";
    // The connector streams the file and the emulator writes it to disk as
    // it arrives: memory need not grow with the file.
    const uint64_t memory = kMemoryMargin;
    if (availableMemory < memory)
        return "needs " + formatBytes(memory) + " of memory, " + formatBytes(availableMemory) + " available";
    return "";
}

std::string formatBytes(uint64_t bytes) {
    const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024 && unit < 4) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    if (unit == 0 || value == static_cast<double>(static_cast<uint64_t>(value)))
        std::snprintf(text, sizeof text, "%.0f %s", value, units[unit]);
    else std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

}  // namespace bench
