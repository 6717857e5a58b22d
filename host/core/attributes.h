// Attributes, Attribute: named texts an add-in stores in a document, grouped
// by a group name. They are saved with the document, so a document opened
// from a saved copy carries the same attributes. Owned by the document;
// user-interface thread only.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "host/core/base.h"

namespace qrvn {
namespace core {

class Attribute;

class QRVN_API Attributes : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::Attributes")
public:
    virtual size_t count() = 0;
    virtual Ptr<Attribute> item(size_t index) = 0;
    // Adds an attribute, or sets the value of the existing one with the same
    // group and name.
    virtual Ptr<Attribute> add(const std::string& groupName, const std::string& name, const std::string& value) = 0;
    virtual Ptr<Attribute> itemByName(const std::string& groupName, const std::string& name) = 0;
    virtual std::vector<Ptr<Attribute>> itemsByGroup(const std::string& groupName) = 0;
    virtual std::vector<std::string> groupNames() = 0;
};

class QRVN_API Attribute : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::Attribute")
public:
    virtual std::string groupName() = 0;
    virtual std::string name() = 0;
    virtual std::string value() = 0;
    virtual bool value(const std::string& value) = 0;
    virtual bool deleteMe() = 0;
};

}  // namespace core
}  // namespace qrvn
