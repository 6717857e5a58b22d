#pragma once
// UploadStore: the one-time upload URLs handed out by the announce
// endpoints, and the files stored through them.
//
// A slot goes Open -> Receiving (one PUT at a time) -> Used; a failed PUT
// puts it back to Open, so nothing half-received is ever listed as stored.
// Owned by the emulator; used by the server's worker threads and the test
// thread at once, so every member locks the store's mutex.

#include "emulator/emulator.h"

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace emulator {

class UploadStore {
public:
    struct Slot {
        std::string token;  // the secret part of the upload URL
        std::string kind;   // "file" or "job"
        std::string id;     // file id or job id
        std::string projectId, name, contentType, origin;
        std::uint64_t size = 0;
        std::chrono::steady_clock::time_point expiry;
    };

    enum class Claim { Ok, Unknown, Used, Expired, Busy };

    Slot announce(const std::string& kind, const std::string& projectId, const std::string& name,
                  const std::string& contentType, std::uint64_t size, const std::string& origin,
                  std::chrono::seconds lifetime);
    // Open -> Receiving; the slot is copied out when Ok.
    Claim claim(const std::string& token, Slot& slot);
    // Receiving -> Open (the PUT failed; the URL may be used again).
    void release(const std::string& token);
    // Receiving -> Used; records the stored file.
    void commit(const std::string& token, const StoredFile& file);

    std::vector<StoredFile> stored() const;

private:
    enum class State { Open, Receiving, Used };
    struct Entry {
        Slot slot;
        State state = State::Open;
    };
    mutable std::mutex mutex_;
    std::map<std::string, Entry> slots_;
    std::vector<StoredFile> stored_;  // in commit order
};

}  // namespace emulator
