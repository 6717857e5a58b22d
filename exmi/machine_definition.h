#pragma once
// MachineDefinition: how a vendor plugs machines into the framework. It says
// which host machines it serves (by machine id, vendor or technology code),
// which commands exist while one of its instances is active, and how to
// make an instance for a CAM setup. A value: every holder (the framework,
// each instance) keeps its own copy. The commands are shared between the
// copies, since a command is a registration with the host and cannot be
// duplicated. Host user-interface thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace EXMI {

class CommandBase;
class IExtensibleMachine;
struct MachineDefinition;

// Makes the instance for one setup: (document EXMI UUID, setup operation id,
// the definition). May return an empty pointer when construction failed.
using MachineFactory = std::function<std::shared_ptr<IExtensibleMachine>(
    const std::string& documentUuid, int32_t operationId, MachineDefinition definition)>;

struct MachineDefinition {
    std::string name;                     // identifies the definition of an instance
    std::vector<std::string> machineIds;  // compared regardless of letter case
    std::vector<std::string> vendors;     // compared exactly
    std::vector<int32_t> technologies;
    std::vector<std::shared_ptr<CommandBase>> commands;
    MachineFactory factory;

    // True when the definition serves a machine with this id, vendor and
    // technology: by id first (ignoring case), then vendor, then technology.
    bool matches(const std::string& machineId, const std::string& vendor, int32_t technology) const;
};

}  // namespace EXMI
