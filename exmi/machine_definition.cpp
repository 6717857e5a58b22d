#include "exmi/machine_definition.h"

#include <algorithm>
#include <locale>

namespace EXMI {

namespace {

std::string lowerCase(const std::string& text) {
    const std::locale locale;
    std::string lowered = text;
    for (char& c : lowered) c = std::tolower(c, locale);
    return lowered;
}

}  // namespace

bool MachineDefinition::matches(const std::string& machineId, const std::string& vendor, int32_t technology) const {
    const std::string id = lowerCase(machineId);
    for (const std::string& candidate : machineIds) {
        if (lowerCase(candidate) == id) return true;
    }
    if (std::find(vendors.begin(), vendors.end(), vendor) != vendors.end()) return true;
    return std::find(technologies.begin(), technologies.end(), technology) != technologies.end();
}

}  // namespace EXMI
