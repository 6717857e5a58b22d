#pragma once
// HttpResponse is the value every call of the HTTP layer returns: status code,
// the received body, the failure text and the response header fields.
// It is built by one transfer on one thread and then handed over by value, so it
// needs no locking.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace EXMIImpl {

struct HttpResponse {
    // Final HTTP status; 28 when the transfer timed out; -1 for every other
    // transfer failure.
    int32_t code = 0;
    // The received body bytes, never replaced: a failed transfer keeps what
    // arrived before it failed. The only copy of the answer, so that a large
    // one is held once; never more than kMaxAnswerBytes.
    std::string bodyBytes;
    // The fixed failure text of a failed transfer; empty otherwise.
    std::string failure;
    // Header fields of the answer; lines without ':' (the status line) map to
    // "present". A repeated field keeps its last value.
    std::map<std::string, std::string> headers;
    // The transfer failed because nothing moved for the stall time (code 28).
    bool stalled = false;

    // The body as text: the failure text when the transfer failed, else the
    // received bytes.
    const std::string& body() const { return failure.empty() ? bodyBytes : failure; }
};

// More than any real answer of the service (a long project list is a few
// MiB): an answer that grows past it is cut off and the transfer fails.
constexpr size_t kMaxAnswerBytes = size_t{64} * 1024 * 1024;

}  // namespace EXMIImpl
