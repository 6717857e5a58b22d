#pragma once
// What the framework reads of a setup's machine to match it against the
// machine definitions and to describe it in the log. Read from the host
// every time it is needed; nothing is kept. Host user-interface thread only.

#include <cstdint>
#include <string>

#include "host/cam.h"

namespace EXMI {

struct MachineDescription {
    bool hasMachine = false;
    std::string id;
    std::string vendor;
    std::string model;
    std::string description;
    // The machine's technology code; 7 when it reports none. -1 without a
    // machine, where nothing is matched anyway.
    int32_t technology = -1;

    // vendor = "V"; model = "M"; description = "D"; id = "I"; Technology = "T"
    // (empty without a machine).
    std::string text() const;
    // The same without the technology part.
    std::string textWithoutTechnology() const;
};

// Reads the machine of `setup`. With `withTechnology` the capability object
// is consulted too; a machine without one is a failure (std::exception).
MachineDescription describeMachine(const qrvn::core::Ptr<qrvn::cam::Setup>& setup, bool withTechnology);

}  // namespace EXMI
