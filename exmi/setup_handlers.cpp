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

const char* const SetupHandlers::kNames[6] = {
    "MySetupCreatedHandler",    "MySetupDestroyingHandler",  "MySetupActivatedHandler",
    "MySetupActivatingHandler", "MySetupDeactivatedHandler", "MySetupDeactivatingHandler",
};

Ptr<qrvn::cam::SetupEvent> SetupHandlers::eventFor(const Ptr<qrvn::cam::CAM>& cam, size_t index) {
    switch (index) {
    case 0: return cam->setupCreated();
    case 1: return cam->setupDestroying();
    case 2: return cam->setupActivated();
    case 3: return cam->setupActivating();
    case 4: return cam->setupDeactivated();
    default: return cam->setupDeactivating();
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

namespace {

std::shared_ptr<EXMISetupEventHandler> makeSetupHandler(size_t index, EXMIimpl* owner) {
    const std::string name = SetupHandlers::kNames[index];
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

void EXMIimpl::registerSetupHandlers(const Document& document) {
    const char source[] = "EXMIimpl::registerSetupHandlers";
    if (!document) return;
    const std::string uuid = support::readDocumentUuid(document);
    support::log("Register SetupHandlers for document= " + document->name() + ", EXMIUUID=" + uuid,
                 "registerSetupHandlers");
    Ptr<qrvn::cam::CAM> cam = support::getCamProduct(document);
    if (!cam) {
        support::log("Can not register as there is no CAM product", source);
        return;
    }
    if (setupHandlers.count(uuid) != 0) {
        support::log("registerSetupHandlers skipped as " + document->name() + " is already registered", source);
        return;
    }
    auto set = std::make_shared<SetupHandlers>();
    set->camProduct = cam;
    try {
        for (size_t i = 0; i < 6; ++i) {
            std::shared_ptr<EXMISetupEventHandler> handler = makeSetupHandler(i, this);
            set->handlers[SetupHandlers::kNames[i]] = handler;
            Ptr<qrvn::cam::SetupEvent> event = SetupHandlers::eventFor(cam, i);
            if (!event) throw std::exception();
            event->add(handler.get());
        }
        set->changeHandler = std::make_shared<MySetupChangedHandler>(this);
        Ptr<qrvn::cam::SetupChangeEvent> changed = cam->setupChanged();
        if (!changed) throw std::exception();
        changed->add(set->changeHandler.get());
    } catch (...) {
        // The set is not kept, so none of its handlers may stay attached.
        set->detach();
        throw;
    }
    setupHandlers[uuid] = set;
    support::log("Registration successfull", source);
}

void EXMIimpl::unregisterSetupHandlers(const Document& document) {
    const char source[] = "EXMIimpl::unregisterSetupHandlers";
    if (!document) return;
    const std::string uuid = support::readDocumentUuid(document);
    support::log("Unregister SetupHandlers for document= " + document->name() + ", EXMIUUID=" + uuid, source);
    Ptr<qrvn::cam::CAM> cam = support::getCamProduct(document);
    if (!cam) {
        support::log("Can not unregister as there is no CAM product", source);
        return;
    }
    auto found = setupHandlers.find(uuid);
    if (found == setupHandlers.end()) {
        support::log("unregisterSetupHandlers skipped as " + document->name() +
                         " does not have setupToDestroy handlers",
                     source);
        return;
    }
    // Detached from the product they were added to, which is this document's.
    found->second->detach();
    support::log("Un-Registration successfull", source);
    setupHandlers.erase(found);
}

}  // namespace EXMI
