#pragma once
// IExtensibleMachine: the abstract base of machine instances, one per
// matching definition and CAM setup. The registry creates it through the
// definition's factory and drives it through activate, deactivate, change
// and destroy; a vendor subclass fills in the hooks. It owns its copy of
// the definition (whose commands it runs while active) and remembers its
// setup by document EXMI UUID and operation id. Host user-interface thread
// only.

#include <cstdint>
#include <string>

#include "exmi/machine_definition.h"
#include "host/cam.h"

namespace EXMI {

class IExtensibleMachine {
public:
    IExtensibleMachine(std::string documentUuid, int32_t setupOperationId, MachineDefinition machineDefinition);
    virtual ~IExtensibleMachine();

    IExtensibleMachine(const IExtensibleMachine&) = delete;
    IExtensibleMachine& operator=(const IExtensibleMachine&) = delete;

    virtual void onHeartBeat();
    virtual void onCreate();
    virtual void onActivate();
    virtual void onDeactivate();
    virtual void beforeDestroy();
    virtual void onChange();

    // Inactive -> active: runs the definition's commands, then onActivate.
    void activate();
    // Active -> inactive: stops the commands, then onDeactivate.
    void deactivate();
    // Tells the instance that its setup changed; the state stays.
    void change();
    // Stops the commands of an active instance (without onDeactivate), then
    // beforeDestroy. The object goes with its last shared reference.
    void destroy();

    // The instance's setup; none when its document is not open or has no
    // CAM product, or the setup is gone.
    qrvn::core::Ptr<qrvn::cam::Setup> getSetup() const;

    // Document EXMI UUID + "/" + operation id: the setup's machine path.
    std::string instanceName() const;
    bool isActive() const { return active; }
    int32_t getOperationId() const { return operationId; }
    const std::string& getDocumentUUID() const { return documentUUID; }
    const MachineDefinition& getDefinition() const { return definition; }

protected:
    int32_t operationId;
    MachineDefinition definition;
    std::string documentUUID;
    bool active;

private:
    void runCommands();
    void stopCommands();
};

}  // namespace EXMI
