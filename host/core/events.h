// The host's event machinery. An event object belongs to the host object that
// raises it (the application, a command, a palette, a CAM product). Handlers
// are plain objects owned by the add-in; an event keeps only raw pointers to
// them, so an add-in removes its handlers before destroying them.
//
// Delivery (host side, user-interface thread only): fire() walks a snapshot of
// the handlers and, before each call, checks that the handler is still added.
// A handler removed during delivery (by itself or by another handler) is
// therefore not called any more; a handler added during delivery gets the
// next event. An exception escaping a handler is caught by the host and
// recorded; it never unwinds into the host.
#pragma once

#include <algorithm>
#include <cstddef>
#include <exception>
#include <string>
#include <vector>

#include "host/core/base.h"

namespace qrvn {
namespace core {

class QRVN_API EventArgs : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::EventArgs")
};

// Root of the handler classes. Handlers are not host objects.
class QRVN_API EventHandler {
public:
    virtual ~EventHandler() = default;
};

class QRVN_API Event : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::Event")
public:
    explicit Event(std::string name) : name_(std::move(name)) {}
    // The event's name as the host knows it, e.g. "documentOpened".
    const std::string& name() const { return name_; }
    virtual size_t handlerCount() const = 0;

private:
    std::string name_;
};

namespace detail {
// Records an exception that escaped a handler (host side; see sim/).
QRVN_API void reportHandlerFailure(const std::string& eventName, const std::string& what);
// Counts deliveries per thread so tests can check where handlers run.
QRVN_API void noteDelivery(const std::string& eventName);
}  // namespace detail

template <class Handler, class Args>
class QRVN_API TypedEvent : public Event {
public:
    using Event::Event;

    // Adds a handler; false for a null handler or one that is already added.
    bool add(Handler* handler) {
        if (!handler || contains(handler)) return false;
        handlers_.push_back(handler);
        return true;
    }

    // Removes a handler; false when it was not added.
    bool remove(Handler* handler) {
        auto it = std::find(handlers_.begin(), handlers_.end(), handler);
        if (it == handlers_.end()) return false;
        handlers_.erase(it);
        return true;
    }

    size_t handlerCount() const override { return handlers_.size(); }
    bool contains(Handler* handler) const {
        return std::find(handlers_.begin(), handlers_.end(), handler) != handlers_.end();
    }

    // Host side: delivers `args` (which may be empty) to every handler.
    void fire(const Ptr<Args>& args) {
        auto keepAlive = shared_from_this();
        detail::noteDelivery(name());
        const std::vector<Handler*> snapshot = handlers_;
        for (Handler* handler : snapshot) {
            if (!contains(handler)) continue;
            try {
                handler->notify(args);
            } catch (const std::exception& e) {
                detail::reportHandlerFailure(name(), e.what());
            } catch (...) {
                detail::reportHandlerFailure(name(), "unknown exception");
            }
        }
    }

private:
    std::vector<Handler*> handlers_;
};

}  // namespace core
}  // namespace qrvn
