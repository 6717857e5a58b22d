#pragma once
// The command's dialog: one tab with the printer and the print-settings
// drop-downs, filled from the host's CAM libraries (the vendor's printers;
// the vendor's print settings followed by the generic "Bowden Tube" FFF
// ones). Works on the process-wide state of command_state.h: the new
// drop-downs become the current ones and the tables learn every new text.
// User-interface thread only.

#include "host/core.h"

namespace CreateSetup {

// Adds the dialog's inputs to a freshly created command and hooks the
// command's validateInputs and execute events. Fails (std::exception) when
// the host withholds an object the dialog needs.
void buildDialog(const qrvn::core::Ptr<qrvn::core::Command>& command);

}  // namespace CreateSetup
