#pragma once
// The framework's CAM setup event handlers and SetupHandlers, the set of
// them registered for one document. Each concrete handler checks its
// event, logs the setup and calls the registry of its owner (the framework
// singleton, plain pointer). The document is always the application's
// active document. The base classes hold the safe-notify guard, as for the
// document handlers. Host user-interface thread only.

#include <map>
#include <memory>
#include <string>

#include "host/cam.h"

namespace EXMI {

class EXMIimpl;

class EXMISetupEventHandler : public qrvn::cam::SetupEventHandler {
public:
    EXMISetupEventHandler(std::string handlerName, EXMIimpl* framework)
        : name(std::move(handlerName)), owner(framework) {}
    void notify(const qrvn::core::Ptr<qrvn::cam::SetupEventArgs>& eventArgs) override;
    virtual void safeNotify(const qrvn::core::Ptr<qrvn::cam::SetupEventArgs>& eventArgs);

protected:
    std::string name;
    EXMIimpl* owner;
};

class EXMISetupChangeEventHandler : public qrvn::cam::SetupChangeEventHandler {
public:
    explicit EXMISetupChangeEventHandler(EXMIimpl* framework) : owner(framework) {}
    void notify(const qrvn::core::Ptr<qrvn::cam::SetupChangeEventArgs>& eventArgs) override;
    virtual void safeNotify(const qrvn::core::Ptr<qrvn::cam::SetupChangeEventArgs>& eventArgs);

protected:
    EXMIimpl* owner;
};

#define EXMI_SETUP_HANDLER(Name)                                                                                       \
    class Name : public EXMISetupEventHandler {                                                                        \
    public:                                                                                                            \
        using EXMISetupEventHandler::EXMISetupEventHandler;                                                            \
        void safeNotify(const qrvn::core::Ptr<qrvn::cam::SetupEventArgs>& eventArgs) override;                         \
    };

EXMI_SETUP_HANDLER(MySetupCreatedHandler)
EXMI_SETUP_HANDLER(MySetupDestroyingHandler)
EXMI_SETUP_HANDLER(MySetupActivatedHandler)
EXMI_SETUP_HANDLER(MySetupActivatingHandler)
EXMI_SETUP_HANDLER(MySetupDeactivatedHandler)
EXMI_SETUP_HANDLER(MySetupDeactivatingHandler)

#undef EXMI_SETUP_HANDLER

class MySetupChangedHandler : public EXMISetupChangeEventHandler {
public:
    using EXMISetupChangeEventHandler::EXMISetupChangeEventHandler;
    void safeNotify(const qrvn::core::Ptr<qrvn::cam::SetupChangeEventArgs>& eventArgs) override;
};

// The setup handlers of one document, and the CAM product they are added to
// (kept so they can be detached from exactly there).
struct SetupHandlers {
    std::map<std::string, std::shared_ptr<EXMISetupEventHandler>> handlers;
    std::shared_ptr<EXMISetupChangeEventHandler> changeHandler;
    qrvn::core::Ptr<qrvn::cam::CAM> camProduct;

    // Handler names in the order they are added to (and removed from) the
    // CAM product's events.
    static const char* const kNames[6];
    // The event of `camProduct` that the handler named kNames[index] serves.
    static qrvn::core::Ptr<qrvn::cam::SetupEvent> eventFor(const qrvn::core::Ptr<qrvn::cam::CAM>& camProduct,
                                                           size_t index);

    // Removes every handler from the CAM product's events (safe to repeat).
    void detach();
};

}  // namespace EXMI
