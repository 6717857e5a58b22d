#pragma once
// The EXMI machine framework: follows the host's documents, workspaces and
// CAM setups and keeps one machine instance alive for every setup whose
// machine a registered MachineDefinition serves.
//
// Naming: every framework type lives in the namespace EXMI (EXMI::CommandBase,
// EXMI::MachineDefinition, EXMI::IExtensibleMachine, ...). The framework
// singleton's abstract base is the class EXMI::Framework, and it is made by
// the free function EXMI::make, so an add-in reads
//     std::shared_ptr<EXMI::Framework> exmi = EXMI::make("My AddIn", {definition});
//     exmi->run();  ...  exmi->stop();
// Its implementation is EXMI::EXMIimpl (exmi/exmi_impl.h).
//
// The framework is created, run, stopped and destroyed on the host's
// user-interface thread.

#include <memory>
#include <string>
#include <vector>

#include "exmi/command_base.h"
#include "exmi/extensible_machine.h"
#include "exmi/machine_definition.h"

namespace EXMI {

class Framework {
public:
    virtual ~Framework() = default;
    // Takes the open documents under management, attaches the host event
    // handlers and starts the heartbeat. Failures are logged, never thrown.
    virtual void run() = 0;
    // Undoes run. Failures are logged, never thrown.
    virtual void stop() = 0;

    // Commands of the add-in as a whole (not of a machine): run by run,
    // stopped by stop.
    std::vector<std::shared_ptr<CommandBase>> addinCommands;
};

// Makes the framework for the add-in `name` serving `machineDefinitions`.
std::shared_ptr<Framework> make(const std::string& name, const std::vector<MachineDefinition>& machineDefinitions);

}  // namespace EXMI
