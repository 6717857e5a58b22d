#pragma once
// The add-in's one machine definition: every CAM setup whose machine vendor
// is exactly "Stratavox" gets a StratavoxMachine. A plain value, built on
// the host's user-interface thread at start-up.

#include "exmi/machine_definition.h"

namespace addin {

EXMI::MachineDefinition makeVendorDefinition();

}  // namespace addin
