#pragma once
// The Create Setup command: a button in the 3D-printing panel of seven
// toolbar modes of the design workspace that opens a dialog with a printer
// and a print-settings drop-down (filled from the host's CAM libraries) and,
// on OK, creates a manufacturing model with every body of the design, an
// additive setup on it for the chosen printer and print settings, and opens
// the manufacturing workspace.
//
// Owns process-wide state (see command_state.h): the kept application and
// user interface, the drop-downs of the most recent dialog, the printer and
// print-setting tables, and one handler object of each class below. Every
// entry point runs on the host's user-interface thread. None of them lets a
// failure escape into the host: each one ends it with a log line.

#include <string>

#include "host/core.h"

namespace CreateSetup {

// Adds the command's definitions and controls for the vendor; called by the
// add-in's start-up.
void registerCommand(const std::string& vendor);

// Removes the controls, the panels this command created (unless someone
// else's controls are in them too) and the definitions, then lets go of the host objects it kept; called by the
// add-in's stop with the same vendor.
void unregisterCommand(const std::string& vendor);

// commandCreated of each definition: builds the dialog.
class CommandCreatedEventHandler : public qrvn::core::CommandCreatedEventHandler {
public:
    void notify(const qrvn::core::Ptr<qrvn::core::CommandCreatedEventArgs>& eventArgs) override;
};

// execute of the command (OK): creates the manufacturing model and setup.
class OnExecuteEventHandler : public qrvn::core::CommandEventHandler {
public:
    void notify(const qrvn::core::Ptr<qrvn::core::CommandEventArgs>& eventArgs) override;
};

// validateInputs of the command: every input state is accepted.
class onValidateInputs : public qrvn::core::ValidateInputsEventHandler {
public:
    void notify(const qrvn::core::Ptr<qrvn::core::ValidateInputsEventArgs>& eventArgs) override;
};

}  // namespace CreateSetup
