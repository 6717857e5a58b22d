// Machine, MachineCapabilities, PrintSetting: the machines (printers) and
// print settings of the host's CAM libraries. Library entries are owned by
// the libraries; a setup refers to the machine and print setting it uses.
// User-interface thread only.
#pragma once

#include <cstdint>
#include <string>

#include "host/core/base.h"

namespace qrvn {
namespace cam {

class MachineCapabilities;

// Technology codes reported by MachineCapabilities::technology().
enum MachineTechnologies {
    FFFMachineTechnology = 0,
    SLAMachineTechnology = 1,
    SLSMachineTechnology = 2,
    MPBFMachineTechnology = 3,
    BinderJettingMachineTechnology = 4,
    DEDMachineTechnology = 5,
    MJFMachineTechnology = 6,
    // 7 is never reported: a machine without an additive technology says so
    // through hasTechnology() == false.
};

// Formats Machine::exportToFile writes.
enum MachineExportFormats {
    // The XML machine description (<machine><post><postProcessor>...).
    MachineDescriptionExportFormat = 4,
};

class QRVN_API Machine : public core::Base {
    QRVN_CLASS_TYPE(core::Base, "qrvn::cam::Machine")
public:
    virtual std::string id() = 0;
    virtual std::string name() = 0;
    virtual std::string vendor() = 0;
    virtual std::string model() = 0;
    virtual std::string description() = 0;
    virtual core::Ptr<MachineCapabilities> capabilities() = 0;
    // Writes the machine in the given format; false when the format is not
    // supported or the file cannot be written.
    virtual bool exportToFile(int format, const std::string& filePath) = 0;
};

class QRVN_API MachineCapabilities : public core::Base {
    QRVN_CLASS_TYPE(core::Base, "qrvn::cam::MachineCapabilities")
public:
    virtual bool hasTechnology() = 0;
    // A MachineTechnologies code; meaningful only when hasTechnology().
    virtual int32_t technology() = 0;
    virtual bool isAdditive() = 0;
};

class QRVN_API PrintSetting : public core::Base {
    QRVN_CLASS_TYPE(core::Base, "qrvn::cam::PrintSetting")
public:
    virtual std::string id() = 0;
    virtual std::string name() = 0;
    virtual std::string vendor() = 0;
    // Technology text, e.g. "FFF".
    virtual std::string technology() = 0;
    virtual std::string description() = 0;
};

}  // namespace cam
}  // namespace qrvn
