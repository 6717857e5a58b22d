#include "exmi/machine_description.h"

#include <exception>

namespace EXMI {

namespace {
constexpr int32_t kNoTechnology = 7;
}

std::string MachineDescription::textWithoutTechnology() const {
    if (!hasMachine) return std::string();
    return "vendor = \"" + vendor + "\"; model = \"" + model + "\"; description = \"" + description + "\"; id = \"" +
           id + "\"";
}

std::string MachineDescription::text() const {
    if (!hasMachine) return std::string();
    return textWithoutTechnology() + "; Technology = \"" + std::to_string(technology) + "\"";
}

MachineDescription describeMachine(const qrvn::core::Ptr<qrvn::cam::Setup>& setup, bool withTechnology) {
    MachineDescription result;
    if (!setup) throw std::exception();
    qrvn::core::Ptr<qrvn::cam::Machine> machine = setup->machine();
    if (!machine) return result;
    result.hasMachine = true;
    result.id = machine->id();
    result.vendor = machine->vendor();
    result.model = machine->model();
    result.description = machine->description();
    if (withTechnology) {
        qrvn::core::Ptr<qrvn::cam::MachineCapabilities> capabilities = machine->capabilities();
        if (!capabilities) throw std::exception();
        result.technology = capabilities->hasTechnology() ? capabilities->technology() : kNoTechnology;
    }
    return result;
}

}  // namespace EXMI
