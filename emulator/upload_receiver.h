#pragma once
// UploadReceiver: takes the body of one storage PUT as it arrives, writes
// it to "<folder>/<id>.part" and hashes it on the way, so large uploads are
// never held in memory. finish() renames the file to "<id>.bin" only when
// the byte count is what was announced; otherwise, and whenever the
// receiver is destroyed unfinished, the part file is removed.
//
// Owned by the worker thread that serves the PUT; not shared.

#include "emulator/crypto.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace emulator {

class UploadReceiver {
public:
    UploadReceiver(const std::string& folder, const std::string& id);
    ~UploadReceiver();
    UploadReceiver(const UploadReceiver&) = delete;
    UploadReceiver& operator=(const UploadReceiver&) = delete;

    bool open();  // false when the part file cannot be created
    // Appends bytes; false on a write failure or once more than `limit` bytes
    // arrived (the caller stops reading then).
    bool write(const char* data, std::size_t size, std::uint64_t limit);
    std::uint64_t received() const { return received_; }
    // Closes the file; true (with the final path and hash) when `expected`
    // bytes arrived intact, otherwise the part file is deleted.
    bool finish(std::uint64_t expected, std::string& path, std::string& sha256);

private:
    void discard();

    std::string partPath_, finalPath_;
    std::FILE* file_ = nullptr;
    Sha256 hash_;
    std::uint64_t received_ = 0;
    bool failed_ = false;
    bool done_ = false;
};

}  // namespace emulator
