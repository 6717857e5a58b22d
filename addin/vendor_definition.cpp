#include "addin/vendor_definition.h"

#include "stratavox/stratavox_machine.h"

namespace addin {

EXMI::MachineDefinition makeVendorDefinition() {
    EXMI::MachineDefinition definition;
    definition.name = "Stratavox Machine";
    definition.vendors = {"Stratavox"};
    definition.factory = &makeStratavoxMachine;
    return definition;
}

}  // namespace addin
