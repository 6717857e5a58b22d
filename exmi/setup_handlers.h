#pragma once
// SetupHandlers is the set of CAM setup event handlers the framework
// registers for one document, owned by the framework singleton (one per
// document), with the CAM product they are added to, so that they are
// detached from exactly there. Each concrete handler checks its event, logs
// the setup and calls the registry of its owner (the framework, plain
// pointer). The document is always the application's active document. The
// base classes hold the safe-notify guard, as for the document handlers.
// Host user-interface thread only.

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

class SetupHandlers {
public:
    // Makes the handlers and adds them to the CAM product's events; throws,
    // leaving none of them attached, when an event is missing.
    SetupHandlers(EXMIimpl* framework, const qrvn::core::Ptr<qrvn::cam::CAM>& cam);
    SetupHandlers(const SetupHandlers&) = delete;
    SetupHandlers& operator=(const SetupHandlers&) = delete;

    // Removes every handler from the CAM product's events (safe to repeat).
    void detach();

private:
    std::map<std::string, std::shared_ptr<EXMISetupEventHandler>> handlers;
    std::shared_ptr<EXMISetupChangeEventHandler> changeHandler;
    qrvn::core::Ptr<qrvn::cam::CAM> camProduct;
};

}  // namespace EXMI
