#include "simhost/impl/attributes_impl.h"

#include <algorithm>

#include "simhost/impl/common.h"

namespace qrvn {
namespace impl {

bool AttributeImpl::value(const std::string& value) {
    if (!valid_) return failInvalid("Attribute::value");
    value_ = value;
    return true;
}

bool AttributeImpl::deleteMe() {
    if (!valid_) return failInvalid("Attribute::deleteMe");
    if (auto store = store_.lock()) {
        auto& items = store->items;
        items.erase(std::remove_if(items.begin(), items.end(),
                                   [this](const core::Ptr<AttributeImpl>& a) { return a.get() == this; }),
                    items.end());
    }
    valid_ = false;
    return true;
}

std::shared_ptr<AttributeStore> AttributeStore::clone() const {
    auto copy = std::make_shared<AttributeStore>();
    for (auto& item : items) {
        auto attribute = make<AttributeImpl>(item->group_, item->name_, item->value_);
        attribute->store_ = copy;
        copy->items.push_back(attribute);
    }
    return copy;
}

core::Ptr<core::Attribute> AttributesImpl::item(size_t index) { return itemAt(store_->items, index); }

core::Ptr<core::Attribute> AttributesImpl::add(const std::string& groupName, const std::string& name,
                                               const std::string& value) {
    if (scriptedFailure("Attributes::add")) return core::Ptr<core::Attribute>();
    if (groupName.empty() || name.empty()) {
        setLastError(core::InvalidArgumentError, "attribute group and name must not be empty");
        return core::Ptr<core::Attribute>();
    }
    for (auto& attribute : store_->items) {
        if (attribute->group_ == groupName && attribute->name_ == name) {
            attribute->value_ = value;
            return attribute;
        }
    }
    auto attribute = make<AttributeImpl>(groupName, name, value);
    attribute->store_ = store_;
    store_->items.push_back(attribute);
    return attribute;
}

core::Ptr<core::Attribute> AttributesImpl::itemByName(const std::string& groupName, const std::string& name) {
    for (auto& attribute : store_->items) {
        if (attribute->group_ == groupName && attribute->name_ == name) return attribute;
    }
    return core::Ptr<core::Attribute>();
}

std::vector<core::Ptr<core::Attribute>> AttributesImpl::itemsByGroup(const std::string& groupName) {
    std::vector<core::Ptr<core::Attribute>> found;
    for (auto& attribute : store_->items) {
        if (attribute->group_ == groupName) found.push_back(attribute);
    }
    return found;
}

std::vector<std::string> AttributesImpl::groupNames() {
    std::vector<std::string> names;
    for (auto& attribute : store_->items) {
        if (std::find(names.begin(), names.end(), attribute->group_) == names.end()) names.push_back(attribute->group_);
    }
    return names;
}

}  // namespace impl
}  // namespace qrvn
