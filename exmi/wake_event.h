#pragma once
// WakeEvent lets worker threads have a function run promptly on the host's
// user-interface thread: it registers a custom event of its own, and every
// fire of that event, which the host allows from any thread, is delivered
// on the UI thread to `onWake`. Used to dispatch finished requests at once
// rather than at the next heartbeat. Created, used and destroyed on the UI
// thread, except for the trigger.

#include <functional>
#include <memory>
#include <string>

#include "host/core.h"

namespace EXMI {

class WakeEvent {
public:
    // Without a running application the event is not registered and the
    // trigger does nothing.
    explicit WakeEvent(std::function<void()> onWake);
    // Detaches the handler and unregisters the event: fires still queued
    // are then dropped by the host.
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    // A function for any thread that asks the host to deliver the event;
    // it stays harmless once this object is gone.
    std::function<void()> trigger() const;

private:
    class Handler;

    std::string eventId;
    qrvn::core::Ptr<qrvn::core::CustomEvent> customEvent;
    std::shared_ptr<Handler> handler;
};

}  // namespace EXMI
