#pragma once
// Polls until a condition holds or a deadline passes, optionally driving an
// IAsyncHandler from the test thread the way the host's heartbeat does.
// No fixed waits.

#include <chrono>
#include <functional>
#include <thread>

#include "net/async_handler.h"

namespace cloudtest {

template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

inline bool pumpUntil(EXMI::IAsyncHandler& handler, const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        handler.processResponses();
        if (condition()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// Until every submitted request has been dispatched.
inline bool drain(EXMI::IAsyncHandler& handler,
                  std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    return pumpUntil(handler, [&handler] { return handler.pendingCount() == 0; }, limit);
}

}  // namespace cloudtest
