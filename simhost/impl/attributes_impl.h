// The attributes of a simulated document: an ordered list of (group, name,
// value) records owned by the document and copied when it is saved.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/core/attributes.h"

namespace qrvn {
namespace impl {

class AttributeStore;

class AttributeImpl : public core::Attribute {
public:
    AttributeImpl(std::string group, std::string name, std::string value)
        : group_(std::move(group)), name_(std::move(name)), value_(std::move(value)) {}
    std::string groupName() override { return group_; }
    std::string name() override { return name_; }
    std::string value() override { return value_; }
    bool value(const std::string& value) override;
    bool deleteMe() override;
    bool isValid() override { return valid_; }

    std::string group_;
    std::string name_;
    std::string value_;
    bool valid_ = true;
    std::weak_ptr<AttributeStore> store_;
};

// The list itself; the document holds it, the Attributes views share it.
class AttributeStore {
public:
    std::vector<core::Ptr<AttributeImpl>> items;
    std::shared_ptr<AttributeStore> clone() const;
};

class AttributesImpl : public core::Attributes {
public:
    explicit AttributesImpl(std::shared_ptr<AttributeStore> store) : store_(std::move(store)) {}
    size_t count() override { return store_->items.size(); }
    core::Ptr<core::Attribute> item(size_t index) override;
    core::Ptr<core::Attribute> add(const std::string& groupName, const std::string& name,
                                   const std::string& value) override;
    core::Ptr<core::Attribute> itemByName(const std::string& groupName, const std::string& name) override;
    std::vector<core::Ptr<core::Attribute>> itemsByGroup(const std::string& groupName) override;
    std::vector<std::string> groupNames() override;

private:
    std::shared_ptr<AttributeStore> store_;
};

}  // namespace impl
}  // namespace qrvn
