#include "emulator/upload_receiver.h"

#include <cstdio>

namespace emulator {

UploadReceiver::UploadReceiver(const std::string& folder, const std::string& id)
    : partPath_(folder + "/" + id + ".part"), finalPath_(folder + "/" + id + ".bin") {}

UploadReceiver::~UploadReceiver() {
    if (!done_) discard();
}

bool UploadReceiver::open() {
    file_ = std::fopen(partPath_.c_str(), "wb");
    return file_ != nullptr;
}

bool UploadReceiver::write(const char* data, std::size_t size, std::uint64_t limit) {
    if (failed_ || file_ == nullptr) return false;
    received_ += size;
    if (received_ > limit) {
        failed_ = true;
        return false;
    }
    if (size > 0 && std::fwrite(data, 1, size, file_) != size) {
        failed_ = true;
        return false;
    }
    hash_.update(data, size);
    return true;
}

bool UploadReceiver::finish(std::uint64_t expected, std::string& path, std::string& sha256) {
    if (file_ == nullptr) return false;
    bool ok = !failed_ && received_ == expected;
    ok = (std::fclose(file_) == 0) && ok;
    file_ = nullptr;
    if (ok && std::rename(partPath_.c_str(), finalPath_.c_str()) == 0) {
        done_ = true;
        path = finalPath_;
        sha256 = hash_.hexDigest();
        return true;
    }
    discard();
    return false;
}

void UploadReceiver::discard() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    std::remove(partPath_.c_str());
    done_ = true;
}

}  // namespace emulator
