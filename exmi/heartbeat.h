#pragma once
// HeartBeat gives machine instances a periodic tick on the host's
// user-interface thread without blocking it: a background thread asks the
// host about once a second to fire a custom event, the host delivers that
// event on its user-interface thread, and MyHeartBeatEventHandler calls the
// framework's onHeartBeat there. The thread never touches framework data;
// it shares with the UI thread only the stop flag (and the condition
// variable that wakes it early, so that stop returns at once). Start, stop
// and the handler run on the UI thread. One HeartBeat per framework.

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "host/core.h"

namespace EXMI {

class EXMIimpl;

class MyHeartBeatEventHandler : public qrvn::core::CustomEventHandler {
public:
    explicit MyHeartBeatEventHandler(EXMIimpl* framework) : owner(framework) {}
    void notify(const qrvn::core::Ptr<qrvn::core::CustomEventArgs>& eventArgs) override;

private:
    EXMIimpl* owner;
};

class HeartBeat {
public:
    // The event id is the add-in name, "/" and a fresh random identifier.
    HeartBeat(EXMIimpl* framework, const std::string& addinName);
    // Stops a thread that is still running and detaches the handler, so a
    // framework torn down without a successful stop leaves nothing behind.
    virtual ~HeartBeat();

    HeartBeat(const HeartBeat&) = delete;
    HeartBeat& operator=(const HeartBeat&) = delete;

    // Registers the custom event, adds the handler and starts the thread.
    void start();
    // Removes the handler, ends and joins the thread. On a heartbeat that
    // never started, fails at the join with std::system_error.
    void stop();

    const std::string& getEventId() const { return eventId; }

private:
    // What the thread shares with the UI thread.
    struct Signal {
        std::atomic<bool> stop{false};
        std::mutex mutex;
        std::condition_variable wake;
    };

    static void heartBeatThreadFunc(std::string customEventId, std::shared_ptr<Signal> signal);
    void raiseStopFlag();

    EXMIimpl* owner;
    qrvn::core::Ptr<qrvn::core::CustomEvent> customEvent;
    std::thread thread;
    std::shared_ptr<MyHeartBeatEventHandler> handler;
    std::shared_ptr<Signal> signal;
    std::string eventId;
};

}  // namespace EXMI
