#include "exmi/setup_handlers.h"

#include <exception>
#include <functional>
#include <stdexcept>

#include "exmi/exmi_impl.h"
#include "exmi/machine_description.h"
#include "support/document.h"
#include "support/log.h"

namespace EXMI {

using qrvn::core::Ptr;

namespace {

constexpr int32_t kInfoIcon = 2;

template <class Args>
void guard(const char* source, const Ptr<Args>& eventArgs, const std::function<void()>& safeNotify) {
    support::log("starting", source);
    try {
        if (!eventArgs) throw std::runtime_error("Invalid SetupEventArgs");
        safeNotify();
    } catch (const std::exception& e) {
        support::logAndNotify(std::string("Failed ") + e.what(), source, false, kInfoIcon);
    } catch (...) {
        support::logAndNotify("Failed unknown error", source, false, kInfoIcon);
    }
}

std::string setupLine(const Ptr<qrvn::cam::Setup>& setup) {
    return "Setup: \"" + setup->name() + "\";operationId = " + std::to_string(setup->operationId());
}

std::string setupLineWithMachine(const Ptr<qrvn::cam::Setup>& setup) {
    return setupLine(setup) + " Machine = " + describeMachine(setup, false).textWithoutTechnology();
}

// The prologue every setup handler shares: the event's setup, logged under
// "<handler>::safeNotify"; a missing setup is logged there and ends the
// handler. `action` gets the setup and that source.
template <class Args, class Action>
void withSetup(const std::string& handler, const Ptr<Args>& eventArgs, Action action) {
    const std::string source = handler + "::safeNotify";
    Ptr<qrvn::cam::Setup> setup = eventArgs->setup();
    if (!setup) {
        support::log("Invalid setupToDestroy.", source);
        return;
    }
    action(setup, source);
}

// The application's active document; none is logged under `source`, and
// the handler then stops.
EXMIimpl::Document activeDocument(const std::string& source) {
    EXMIimpl::Document document = support::getActiveDocument().query<qrvn::kalvix::KalvixDocument>();
    if (!document) support::log("Invalid document.", source);
    return document;
}

}  // namespace

void EXMISetupEventHandler::notify(const Ptr<qrvn::cam::SetupEventArgs>& eventArgs) {
    guard("EXMISetupEventHandler::notify", eventArgs, [&] { safeNotify(eventArgs); });
}

void EXMISetupEventHandler::safeNotify(const Ptr<qrvn::cam::SetupEventArgs>&) {
    support::log("EXMISetupEventHandler event occured", "EXMISetupEventHandler");
}

void EXMISetupChangeEventHandler::notify(const Ptr<qrvn::cam::SetupChangeEventArgs>& eventArgs) {
    guard("EXMISetupChangeEventHandler::notify", eventArgs, [&] { safeNotify(eventArgs); });
}

void EXMISetupChangeEventHandler::safeNotify(const Ptr<qrvn::cam::SetupChangeEventArgs>&) {
    support::log("EXMISetupChangeEventHandler event occured", "EXMISetupChangeEventHandler");
}

void MySetupCreatedHandler::safeNotify(const Ptr<qrvn::cam::SetupEventArgs>& eventArgs) {
    withSetup(name, eventArgs, [&](const Ptr<qrvn::cam::Setup>& setup, const std::string& source) {
        EXMIimpl::Document document = activeDocument(source);
        if (!document) return;
        support::log(setupLine(setup), source);
        owner->handlePotentialNewMachine(document, setup);
    });
}

void MySetupActivatedHandler::safeNotify(const Ptr<qrvn::cam::SetupEventArgs>& eventArgs) {
    withSetup(name, eventArgs, [&](const Ptr<qrvn::cam::Setup>& setup, const std::string& source) {
        support::log(setupLineWithMachine(setup), source);
        EXMIimpl::Document document = activeDocument(source);
        if (!document) return;
        owner->activateExtensibleMachineInstances(document, setup);
    });
}

void MySetupActivatingHandler::safeNotify(const Ptr<qrvn::cam::SetupEventArgs>& eventArgs) {
    withSetup(name, eventArgs, [](const Ptr<qrvn::cam::Setup>& setup, const std::string& source) {
        support::log(setupLine(setup), source);
    });
}

void MySetupDeactivatedHandler::safeNotify(const Ptr<qrvn::cam::SetupEventArgs>& eventArgs) {
    withSetup(name, eventArgs, [](const Ptr<qrvn::cam::Setup>& setup, const std::string& source) {
        support::log(setupLine(setup), source);
    });
}

void MySetupDeactivatingHandler::safeNotify(const Ptr<qrvn::cam::SetupEventArgs>& eventArgs) {
    withSetup(name, eventArgs, [&](const Ptr<qrvn::cam::Setup>& setup, const std::string& source) {
        support::log(setupLine(setup), source);
        EXMIimpl::Document document = activeDocument(source);
        if (!document) return;
        owner->deactivateExtensibleMachineInstances(document, setup);
    });
}

void MySetupDestroyingHandler::safeNotify(const Ptr<qrvn::cam::SetupEventArgs>& eventArgs) {
    withSetup(name, eventArgs, [&](const Ptr<qrvn::cam::Setup>& setup, const std::string& source) {
        support::log(setupLine(setup), source);
        EXMIimpl::Document document = activeDocument(source);
        if (!document) return;
        owner->destroyExtensibleMachineInstances(document, setup);
    });
}

void MySetupChangedHandler::safeNotify(const Ptr<qrvn::cam::SetupChangeEventArgs>& eventArgs) {
    withSetup("MySetupChangedHandler", eventArgs, [&](const Ptr<qrvn::cam::Setup>& setup, const std::string& source) {
        support::log(setupLineWithMachine(setup), source);
        EXMIimpl::Document document = activeDocument(source);
        if (!document) return;
        owner->handlePotentialNewMachine(document, setup);
        owner->handleChangeEvent(document, setup);
    });
}

// ---- the set of one document ------------------------------------------------

namespace {

// Handler names in the order they are added to (and removed from) the CAM
// product's events.
const char* const kNames[6] = {
    "MySetupCreatedHandler",    "MySetupDestroyingHandler",  "MySetupActivatedHandler",
    "MySetupActivatingHandler", "MySetupDeactivatedHandler", "MySetupDeactivatingHandler",
};

// The event of `cam` that the handler named kNames[index] serves.
Ptr<qrvn::cam::SetupEvent> eventFor(const Ptr<qrvn::cam::CAM>& cam, size_t index) {
    switch (index) {
    case 0: return cam->setupCreated();
    case 1: return cam->setupDestroying();
    case 2: return cam->setupActivated();
    case 3: return cam->setupActivating();
    case 4: return cam->setupDeactivated();
    default: return cam->setupDeactivating();
    }
}

std::shared_ptr<EXMISetupEventHandler> makeSetupHandler(size_t index, EXMIimpl* owner) {
    const std::string name = kNames[index];
    switch (index) {
    case 0: return std::make_shared<MySetupCreatedHandler>(name, owner);
    case 1: return std::make_shared<MySetupDestroyingHandler>(name, owner);
    case 2: return std::make_shared<MySetupActivatedHandler>(name, owner);
    case 3: return std::make_shared<MySetupActivatingHandler>(name, owner);
    case 4: return std::make_shared<MySetupDeactivatedHandler>(name, owner);
    default: return std::make_shared<MySetupDeactivatingHandler>(name, owner);
    }
}

}  // namespace

SetupHandlers::SetupHandlers(EXMIimpl* owner, const Ptr<qrvn::cam::CAM>& cam) : camProduct(cam) {
    try {
        for (size_t i = 0; i < 6; ++i) {
            std::shared_ptr<EXMISetupEventHandler> handler = makeSetupHandler(i, owner);
            handlers[kNames[i]] = handler;
            Ptr<qrvn::cam::SetupEvent> event = eventFor(cam, i);
            if (!event) throw std::exception();
            event->add(handler.get());
        }
        changeHandler = std::make_shared<MySetupChangedHandler>(owner);
        Ptr<qrvn::cam::SetupChangeEvent> changed = cam->setupChanged();
        if (!changed) throw std::exception();
        changed->add(changeHandler.get());
    } catch (...) {
        // The set is not kept, so none of its handlers may stay attached.
        detach();
        throw;
    }
}

void SetupHandlers::detach() {
    if (!camProduct) return;
    for (size_t i = 0; i < 6; ++i) {
        auto handler = handlers.find(kNames[i]);
        Ptr<qrvn::cam::SetupEvent> event = eventFor(camProduct, i);
        if (handler != handlers.end() && event) event->remove(handler->second.get());
    }
    Ptr<qrvn::cam::SetupChangeEvent> changed = camProduct->setupChanged();
    if (changeHandler && changed) changed->remove(changeHandler.get());
}

}  // namespace EXMI
