#pragma once
// FaultTable: the faults armed per endpoint, plus the connection-level
// certificate fault. Owned by the emulator; armed from the test or the
// command line on any thread and consumed by the server's worker threads,
// so every member locks the table's mutex.

#include "emulator/emulator.h"

#include <map>
#include <mutex>

namespace emulator {

class FaultTable {
public:
    // UntrustedCertificate is decided at the TLS handshake, before the request
    // path is known, so it is kept apart from the endpoint and applies to the
    // next connection(s) whatever endpoint it was set for.
    void set(Endpoint endpoint, const Fault& fault);
    void clear(Endpoint endpoint);
    void clearAll();

    // The fault to apply to one request of `endpoint` (Kind::None when
    // nothing is armed); a one-shot fault is removed as it is taken.
    Fault take(Endpoint endpoint);
    // True when this handshake must use the untrusted certificate.
    bool takeUntrustedCertificate();

private:
    std::mutex mutex_;
    std::map<Endpoint, Fault> faults_;
    Fault certificate_;
    Endpoint certificateEndpoint_ = Endpoint::Authorize;
};

}  // namespace emulator
