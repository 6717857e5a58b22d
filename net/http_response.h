#pragma once
// HttpResponse is the one result of every request, from a libcurl transfer up
// to the callback that reads it: the HTTP status when an answer came, else the
// kind of transfer failure, the received bytes and the answer's header fields.
// Built by one transfer on one thread and then handed over by value, so it
// needs no locking.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace EXMIImpl {

// Why a request got no usable HTTP answer. The names (transferErrorName) are
// the page's "kind" texts.
enum class TransferError {
    None,         // an HTTP answer came: see `status`
    Resolve,      // the host name could not be resolved
    Connect,      // no connection, or it broke before the answer was whole
    Certificate,  // TLS refused: untrusted or bad certificate, failed handshake
    Timeout,      // the request's time limit ran out
    Stalled,      // nothing moved for the stall time
    TooLarge,     // the answer grew past kMaxAnswerBytes
    NotHttps,     // the address, or a redirect, is not https
    Aborted,      // cancelled by its owner or by the handler's shutdown
    File,         // the file to send is missing, unreadable or changed
    Local,        // anything else on this computer (the request could not be built)
};

// "resolve", "connect", ...; empty for None.
const char* transferErrorName(TransferError error);

struct HttpResponse {
    TransferError error = TransferError::None;
    // The final HTTP status; 0 unless error is None.
    uint32_t status = 0;
    // The received body bytes, never replaced: a failed transfer keeps what
    // arrived before it failed. The only copy of the answer, so that a large
    // one is held once; never more than kMaxAnswerBytes.
    std::string body;
    // A readable text for File and Local failures (with the file's path);
    // empty otherwise.
    std::string detail;
    // Header fields of the answer; lines without ':' (the status line) map to
    // "present". A repeated field keeps its last value.
    std::map<std::string, std::string> headers;

    bool answered() const { return error == TransferError::None; }
};

// More than any real answer of the service (a long project list is a few
// MiB): an answer that grows past it is cut off and the transfer fails.
constexpr size_t kMaxAnswerBytes = size_t{64} * 1024 * 1024;

}  // namespace EXMIImpl
