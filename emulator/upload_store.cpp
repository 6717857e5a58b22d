#include "emulator/upload_store.h"

#include "emulator/crypto.h"

namespace emulator {

UploadStore::Slot UploadStore::announce(const std::string& kind, const std::string& projectId, const std::string& name,
                                        const std::string& contentType, std::uint64_t size, const std::string& origin,
                                        std::chrono::seconds lifetime) {
    Slot slot;
    slot.token = randomToken(32);
    slot.kind = kind;
    slot.id = randomToken(12);
    slot.projectId = projectId;
    slot.name = name;
    slot.contentType = contentType;
    slot.origin = origin;
    slot.size = size;
    slot.expiry = std::chrono::steady_clock::now() + lifetime;
    std::lock_guard<std::mutex> lock(mutex_);
    slots_[slot.token] = Entry{slot, State::Open};
    return slot;
}

UploadStore::Claim UploadStore::claim(const std::string& token, Slot& slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = slots_.find(token);
    if (it == slots_.end()) return Claim::Unknown;
    Entry& entry = it->second;
    if (entry.state == State::Used) return Claim::Used;
    if (entry.state == State::Receiving) return Claim::Busy;
    if (std::chrono::steady_clock::now() >= entry.slot.expiry) return Claim::Expired;
    entry.state = State::Receiving;
    slot = entry.slot;
    return Claim::Ok;
}

void UploadStore::release(const std::string& token) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = slots_.find(token);
    if (it != slots_.end() && it->second.state == State::Receiving) it->second.state = State::Open;
}

void UploadStore::commit(const std::string& token, const StoredFile& file) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = slots_.find(token);
    if (it != slots_.end()) it->second.state = State::Used;
    stored_.push_back(file);
}

std::vector<StoredFile> UploadStore::stored() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stored_;
}

}  // namespace emulator
