#pragma once
// Polls until a condition holds or a deadline passes, optionally driving an
// IAsyncHandler from the test thread the way the host's heartbeat does.
// No fixed waits.

#include <chrono>
#include <functional>

#include "net/async_handler.h"
#include "tests/support/scratch.h"

namespace cloudtest {

using testing_support::waitUntil;

inline bool pumpUntil(EXMI::IAsyncHandler& handler, const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    return waitUntil(
        [&] {
            handler.processResponses();
            return condition();
        },
        limit);
}

// Until every submitted request has been dispatched.
inline bool drain(EXMI::IAsyncHandler& handler, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    return pumpUntil(
        handler, [&handler] { return handler.pendingCount() == 0; }, limit);
}

}  // namespace cloudtest
