#include "host/core/values.h"

#include "host/cam/post_process.h"

namespace qrvn {
namespace core {

ValueInput::ValueInput(ValueTypes type, std::string stringValue, double realValue, bool booleanValue)
    : type_(type), string_(std::move(stringValue)), real_(realValue), boolean_(booleanValue) {}

Ptr<ValueInput> ValueInput::createByString(const std::string& value) {
    return Ptr<ValueInput>(std::make_shared<ValueInput>(StringValueType, value, 0.0, false));
}

Ptr<ValueInput> ValueInput::createByReal(double value) {
    return Ptr<ValueInput>(std::make_shared<ValueInput>(RealValueType, std::string(), value, false));
}

Ptr<ValueInput> ValueInput::createByBoolean(bool value) {
    return Ptr<ValueInput>(std::make_shared<ValueInput>(BooleanValueType, std::string(), 0.0, value));
}

Ptr<NamedValues> NamedValues::create() { return Ptr<NamedValues>(std::make_shared<NamedValues>()); }

size_t NamedValues::count() const { return entries_.size(); }

bool NamedValues::add(const std::string& name, const Ptr<ValueInput>& value) {
    if (!value) return false;
    for (Entry& entry : entries_) {
        if (entry.name == name) {
            entry.value = value;
            return true;
        }
    }
    entries_.push_back({name, value});
    return true;
}

Ptr<ValueInput> NamedValues::itemByName(const std::string& name) const {
    for (const Entry& entry : entries_) {
        if (entry.name == name) return entry.value;
    }
    return Ptr<ValueInput>();
}

Ptr<ValueInput> NamedValues::item(size_t index, std::string* name) const {
    if (index >= entries_.size()) {
        if (name) name->clear();
        return Ptr<ValueInput>();
    }
    if (name) *name = entries_[index].name;
    return entries_[index].value;
}

}  // namespace core

namespace cam {

PostProcessInput::PostProcessInput(std::string programName, std::string postConfiguration, std::string outputFolder,
                                   PostOutputUnitOptions outputUnits)
    : programName_(std::move(programName)), postConfiguration_(std::move(postConfiguration)),
      outputFolder_(std::move(outputFolder)), outputUnits_(outputUnits), postProperties_(core::NamedValues::create()) {}

core::Ptr<PostProcessInput> PostProcessInput::create(const std::string& programName,
                                                     const std::string& postConfiguration,
                                                     const std::string& outputFolder,
                                                     PostOutputUnitOptions outputUnits) {
    if (programName.empty() || postConfiguration.empty()) return core::Ptr<PostProcessInput>();
    return core::Ptr<PostProcessInput>(
        std::make_shared<PostProcessInput>(programName, postConfiguration, outputFolder, outputUnits));
}

}  // namespace cam
}  // namespace qrvn
