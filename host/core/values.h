// ValueInput and NamedValues: typed values the add-in hands to host
// operations (for example post-processor properties). Made by the add-in
// through the static create functions; used on the user-interface thread.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "host/core/base.h"

namespace qrvn {
namespace core {

enum ValueTypes {
    StringValueType = 0,
    RealValueType = 1,
    BooleanValueType = 2,
};

class QRVN_API ValueInput : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::ValueInput")
public:
    static Ptr<ValueInput> createByString(const std::string& value);
    static Ptr<ValueInput> createByReal(double value);
    static Ptr<ValueInput> createByBoolean(bool value);

    ValueTypes valueType() const { return type_; }
    const std::string& stringValue() const { return string_; }
    double realValue() const { return real_; }
    bool booleanValue() const { return boolean_; }

    ValueInput(ValueTypes type, std::string stringValue, double realValue, bool booleanValue);

private:
    ValueTypes type_;
    std::string string_;
    double real_;
    bool boolean_;
};

// An ordered list of name/value pairs; names are unique.
class QRVN_API NamedValues : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::NamedValues")
public:
    static Ptr<NamedValues> create();

    size_t count() const;
    // Adds or replaces the value under `name`; false for an empty value.
    bool add(const std::string& name, const Ptr<ValueInput>& value);
    Ptr<ValueInput> itemByName(const std::string& name) const;
    // The pair at `index`; empty handle (and empty name) when out of range.
    Ptr<ValueInput> item(size_t index, std::string* name = nullptr) const;

    NamedValues() = default;

private:
    struct Entry {
        std::string name;
        Ptr<ValueInput> value;
    };
    std::vector<Entry> entries_;
};

}  // namespace core
}  // namespace qrvn
