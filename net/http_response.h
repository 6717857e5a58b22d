#pragma once
// HttpResponse is the value every call of the HTTP layer returns: status code,
// the received body (as text and as raw bytes) and the response header fields.
// It is built by one transfer on one thread and then handed over by value, so it
// needs no locking.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace EXMIImpl {

struct HttpResponse {
    // Final HTTP status; 28 when the transfer timed out; -1 for every other
    // transfer failure.
    int32_t code = 0;
    // Received body bytes as text; replaced by a fixed failure text when the
    // transfer failed.
    std::string body;
    // The same bytes, never replaced: keeps what arrived before a failure.
    std::vector<uint8_t> bodyBytes;
    // Header fields of the answer; lines without ':' (the status line) map to
    // "present". A repeated field keeps its last value.
    std::map<std::string, std::string> headers;
    // The transfer failed because nothing moved for the stall time (code 28).
    bool stalled = false;
};

}  // namespace EXMIImpl
