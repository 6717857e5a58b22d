#include "exmi/heartbeat.h"

#include <chrono>
#include <exception>

#include "exmi/exmi_impl.h"
#include "support/ids.h"
#include "support/log.h"

namespace EXMI {

using qrvn::core::Ptr;

void MyHeartBeatEventHandler::notify(const Ptr<qrvn::core::CustomEventArgs>&) {
    try {
        owner->onHeartBeat();
    } catch (const std::exception& e) {
        support::logAndNotify(std::string("Failed ") + e.what(), "MyHeartBeatEventHandler::notify", false, 2);
    } catch (...) {
        support::logAndNotify("Failed unknown error", "MyHeartBeatEventHandler::notify", false, 2);
    }
}

HeartBeat::HeartBeat(EXMIimpl* framework, const std::string& addinName)
    : owner(framework), signal(std::make_shared<Signal>()), eventId(addinName + "/" + support::generateUuid()) {}

HeartBeat::~HeartBeat() {
    if (handler && customEvent) customEvent->remove(handler.get());
    handler.reset();
    raiseStopFlag();
    if (thread.joinable()) {
        if (thread.get_id() == std::this_thread::get_id()) thread.detach();
        else thread.join();
    }
    if (customEvent) {
        Ptr<qrvn::core::Application> app = qrvn::core::Application::get();
        if (app) app->unregisterCustomEvent(eventId);
    }
}

void HeartBeat::raiseStopFlag() {
    {
        std::lock_guard<std::mutex> lock(signal->mutex);
        signal->stop = true;
    }
    signal->wake.notify_all();
}

void HeartBeat::start() {
    const char source[] = "HeartBeat::start";
    support::log("start", source);
    Ptr<qrvn::core::Application> app = qrvn::core::Application::get();
    if (!app) throw std::exception();
    if (thread.joinable()) throw std::runtime_error("HeartBeat already started");
    customEvent = app->registerCustomEvent(eventId);
    if (handler && customEvent) customEvent->remove(handler.get());
    handler = std::make_shared<MyHeartBeatEventHandler>(owner);
    if (!customEvent) throw std::exception();
    customEvent->add(handler.get());
    signal->stop = false;
    thread = std::thread(&HeartBeat::heartBeatThreadFunc, eventId, signal);
    support::log("done", source);
}

void HeartBeat::stop() {
    const char source[] = "HeartBeat::stop";
    support::log("Stopping Heart Beat", source);
    if (handler) {
        if (!customEvent) throw std::exception();
        customEvent->remove(handler.get());
        handler.reset();
    }
    raiseStopFlag();
    Ptr<qrvn::core::Application> app = qrvn::core::Application::get();
    if (!app) throw std::exception();
    app->unregisterCustomEvent(eventId);
    thread.join();
    support::log("Stopped Heart Beat", source);
}

void HeartBeat::heartBeatThreadFunc(std::string customEventId, std::shared_ptr<Signal> signal) {
    while (!signal->stop) {
        Ptr<qrvn::core::Application> app = qrvn::core::Application::get();
        // Without an application there is nobody to deliver a beat to.
        if (!app) break;
        app->fireCustomEvent(customEventId, "");
        app.reset();
        const auto next = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        std::unique_lock<std::mutex> lock(signal->mutex);
        signal->wake.wait_until(lock, next, [&] { return signal->stop.load(); });
    }
    support::log("DONE", "heartBeatThreadFunc");
}

}  // namespace EXMI
