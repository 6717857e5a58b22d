// Setups, Setup, SetupInput: the CAM setups of a document's CAM product.
// Every setup has an operation id that is unique within its document and
// never reused. At most one setup of a document is active. Owned by the CAM
// product; a deleted setup becomes invalid. User-interface thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/core/base.h"

namespace qrvn {
namespace cam {

class Setup;
class SetupInput;
class Machine;
class PrintSetting;
class CAM;

enum OperationTypes {
    MillingOperation = 0,
    TurningOperation = 1,
    JetOperation = 2,
    AdditiveOperation = 3,
};

class QRVN_API Setups : public core::Base {
    QRVN_CLASS_TYPE(core::Base, "qrvn::cam::Setups")
public:
    virtual size_t count() = 0;
    virtual core::Ptr<Setup> item(size_t index) = 0;
    virtual core::Ptr<Setup> itemByName(const std::string& name) = 0;
    virtual core::Ptr<Setup> itemByOperationId(int32_t operationId) = 0;
    virtual core::Ptr<SetupInput> createInput(OperationTypes operationType) = 0;
    // Creates the setup described by `input`; it becomes the active setup.
    // Empty when the input has no models (or, for an additive setup, no
    // machine).
    virtual core::Ptr<Setup> add(const core::Ptr<SetupInput>& input) = 0;
};

class QRVN_API SetupInput : public core::Base {
    QRVN_CLASS_TYPE(core::Base, "qrvn::cam::SetupInput")
public:
    virtual OperationTypes operationType() = 0;
    virtual std::string name() = 0;
    virtual bool name(const std::string& name) = 0;
    // Occurrences and bodies the setup works on.
    virtual std::vector<core::Ptr<core::Base>> models() = 0;
    virtual bool models(const std::vector<core::Ptr<core::Base>>& models) = 0;
    virtual core::Ptr<Machine> machine() = 0;
    virtual bool machine(const core::Ptr<Machine>& machine) = 0;
    virtual core::Ptr<PrintSetting> printSetting() = 0;
    virtual bool printSetting(const core::Ptr<PrintSetting>& printSetting) = 0;
};

class QRVN_API Setup : public core::Base {
    QRVN_CLASS_TYPE(core::Base, "qrvn::cam::Setup")
public:
    virtual int32_t operationId() = 0;
    virtual OperationTypes operationType() = 0;
    virtual std::string name() = 0;
    // Renames the setup (fires setupChanged).
    virtual bool name(const std::string& name) = 0;
    virtual bool isActive() = 0;
    // Makes this the active setup (fires the activation events).
    virtual bool activate() = 0;
    // Empty when the setup has no machine.
    virtual core::Ptr<Machine> machine() = 0;
    // Assigns another machine (fires setupChanged).
    virtual bool machine(const core::Ptr<Machine>& machine) = 0;
    virtual core::Ptr<PrintSetting> printSetting() = 0;
    virtual std::vector<core::Ptr<core::Base>> models() = 0;
    virtual core::Ptr<CAM> parent() = 0;
    // Deletes the setup (fires setupDestroying first).
    virtual bool deleteMe() = 0;
};

}  // namespace cam
}  // namespace qrvn
