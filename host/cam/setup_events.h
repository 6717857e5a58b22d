// The CAM setup events: arguments, handler bases and event objects. The CAM
// product of a document owns its seven setup events; the host fires them on
// the user-interface thread for its own operations (see cam_product.h).
#pragma once

#include "host/core/event_types.h"

namespace qrvn {
namespace cam {

class Setup;

class QRVN_API SetupEventArgs : public core::EventArgs {
    QRVN_CLASS_TYPE(core::EventArgs, "qrvn::cam::SetupEventArgs")
public:
    explicit SetupEventArgs(core::Ptr<Setup> setup);
    core::Ptr<Setup> setup() const { return setup_; }

private:
    core::Ptr<Setup> setup_;
};

class QRVN_API SetupEventHandler : public core::EventHandler {
public:
    virtual void notify(const core::Ptr<SetupEventArgs>& eventArgs) = 0;
};

class QRVN_API SetupEvent : public core::TypedEvent<SetupEventHandler, SetupEventArgs> {
    QRVN_CLASS_TYPE(core::Event, "qrvn::cam::SetupEvent")
public:
    using core::TypedEvent<SetupEventHandler, SetupEventArgs>::TypedEvent;
};

// What changed in a setup.
enum SetupChangeTypes {
    SetupNameChange = 0,
    SetupMachineChange = 1,
    SetupPrintSettingChange = 2,
    SetupModelsChange = 3,
};

class QRVN_API SetupChangeEventArgs : public core::EventArgs {
    QRVN_CLASS_TYPE(core::EventArgs, "qrvn::cam::SetupChangeEventArgs")
public:
    SetupChangeEventArgs(core::Ptr<Setup> setup, SetupChangeTypes changeType);
    core::Ptr<Setup> setup() const { return setup_; }
    SetupChangeTypes changeType() const { return changeType_; }

private:
    core::Ptr<Setup> setup_;
    SetupChangeTypes changeType_;
};

class QRVN_API SetupChangeEventHandler : public core::EventHandler {
public:
    virtual void notify(const core::Ptr<SetupChangeEventArgs>& eventArgs) = 0;
};

class QRVN_API SetupChangeEvent : public core::TypedEvent<SetupChangeEventHandler, SetupChangeEventArgs> {
    QRVN_CLASS_TYPE(core::Event, "qrvn::cam::SetupChangeEvent")
public:
    using core::TypedEvent<SetupChangeEventHandler, SetupChangeEventArgs>::TypedEvent;
};

}  // namespace cam
}  // namespace qrvn
