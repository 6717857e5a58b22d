#include "exmi/wake_event.h"

#include <exception>

#include "support/ids.h"
#include "support/log.h"

namespace EXMI {

class WakeEvent::Handler : public qrvn::core::CustomEventHandler {
public:
    explicit Handler(std::function<void()> function) : onWake(std::move(function)) {}
    void notify(const qrvn::core::Ptr<qrvn::core::CustomEventArgs>&) override {
        try {
            onWake();
        } catch (const std::exception& e) {
            support::log(std::string("Failed ") + e.what(), "WakeEvent::notify");
        }
    }

private:
    std::function<void()> onWake;
};

WakeEvent::WakeEvent(std::function<void()> onWake) : eventId("wake/" + support::generateUuid()) {
    qrvn::core::Ptr<qrvn::core::Application> app = qrvn::core::Application::get();
    if (!app) return;
    customEvent = app->registerCustomEvent(eventId);
    if (!customEvent) return;
    handler = std::make_shared<Handler>(std::move(onWake));
    customEvent->add(handler.get());
}

WakeEvent::~WakeEvent() {
    if (!customEvent) return;
    if (handler) customEvent->remove(handler.get());
    qrvn::core::Ptr<qrvn::core::Application> app = qrvn::core::Application::get();
    if (app) app->unregisterCustomEvent(eventId);
}

std::function<void()> WakeEvent::trigger() const {
    if (!customEvent) return [] {};
    const std::string id = eventId;
    return [id] {
        qrvn::core::Ptr<qrvn::core::Application> app = qrvn::core::Application::get();
        if (app) app->fireCustomEvent(id, "");
    };
}

}  // namespace EXMI
