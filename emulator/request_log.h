#pragma once
// RequestLog: every request the emulator answered, in the order the answers
// were decided, so tests can assert on what went over the wire.
//
// Owned by the emulator; appended to by the server's worker threads and read
// by the test thread, so every member locks the log's mutex.

#include "emulator/emulator.h"

#include <mutex>
#include <vector>

namespace emulator {

class RequestLog {
public:
    void add(RecordedRequest request);
    std::vector<RecordedRequest> all() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<RecordedRequest> requests_;
};

}  // namespace emulator
