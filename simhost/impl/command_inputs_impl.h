// The simulated inputs of a command's dialog: the input collections (the
// command's own and one per tab input), tab inputs, drop-down inputs and
// their list items. Owned by the command; input ids are unique within it.
// User-interface thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/core/command_inputs.h"

namespace qrvn {
namespace impl {

class CommandImpl;
class ListItemsImpl;

class CommandInputsImpl : public core::CommandInputs {
public:
    CommandInputsImpl(std::weak_ptr<CommandImpl> command, std::weak_ptr<core::CommandInput> parent)
        : command_(std::move(command)), parent_(std::move(parent)) {}
    size_t count() override { return items_.size(); }
    core::Ptr<core::CommandInput> item(size_t index) override;
    core::Ptr<core::CommandInput> itemById(const std::string& id) override;
    core::Ptr<core::Command> command() override;
    core::Ptr<core::TabCommandInput> addTabCommandInput(const std::string& id, const std::string& name,
                                                        const std::string& resourceFolder) override;
    core::Ptr<core::DropDownCommandInput> addDropDownCommandInput(const std::string& id, const std::string& name,
                                                                  core::DropDownStyles dropDownStyle) override;

    std::weak_ptr<CommandImpl> command_;
    std::weak_ptr<core::CommandInput> parent_;
    std::vector<core::Ptr<core::CommandInput>> items_;

private:
    bool checkNewId(const std::string& id, const char* operation);
};

// What every input has; Interface is the host input class implemented.
template <class Interface>
class InputImplBase : public Interface {
public:
    InputImplBase(std::string id, std::string name, std::weak_ptr<CommandImpl> command,
                  std::weak_ptr<core::CommandInput> parent)
        : id_(std::move(id)), name_(std::move(name)), command_(std::move(command)), parent_(std::move(parent)) {}
    std::string id() override { return id_; }
    std::string name() override { return name_; }
    bool isVisible() override { return visible_; }
    bool isVisible(bool visible) override {
        visible_ = visible;
        return true;
    }
    bool isEnabled() override { return enabled_; }
    bool isEnabled(bool enabled) override {
        enabled_ = enabled;
        return true;
    }
    core::Ptr<core::Command> parentCommand() override;
    core::Ptr<core::CommandInput> parentCommandInput() override {
        return core::Ptr<core::CommandInput>(parent_.lock());
    }

    std::string id_, name_;
    std::weak_ptr<CommandImpl> command_;
    std::weak_ptr<core::CommandInput> parent_;
    bool visible_ = true;
    bool enabled_ = true;
};

class TabCommandInputImpl : public InputImplBase<core::TabCommandInput> {
public:
    using InputImplBase::InputImplBase;
    core::Ptr<core::CommandInputs> children() override;
    std::string resourceFolder_;
    core::Ptr<CommandInputsImpl> children_;
};

class DropDownCommandInputImpl : public InputImplBase<core::DropDownCommandInput> {
public:
    using InputImplBase::InputImplBase;
    core::DropDownStyles dropDownStyle() override { return style_; }
    core::Ptr<core::ListItems> listItems() override;
    core::Ptr<core::ListItem> selectedItem() override;

    core::DropDownStyles style_ = core::TextListDropDownStyle;
    core::Ptr<ListItemsImpl> items_;
};

class ListItemImpl : public core::ListItem {
public:
    ListItemImpl(std::string name, std::string icon) : name_(std::move(name)), icon_(std::move(icon)) {}
    std::string name() override { return name_; }
    size_t index() override;
    bool isSelected() override { return selected_; }
    bool isSelected(bool selected) override;
    bool deleteMe() override;
    bool isValid() override { return valid_; }

    std::string name_, icon_;
    bool selected_ = false;
    bool valid_ = true;
    std::weak_ptr<ListItemsImpl> list_;
};

class ListItemsImpl : public core::ListItems {
public:
    explicit ListItemsImpl(core::DropDownStyles style) : style_(style) {}
    size_t count() override { return items_.size(); }
    core::Ptr<core::ListItem> item(size_t index) override;
    core::Ptr<core::ListItem> add(const std::string& name, bool isSelected, const std::string& icon,
                                  int beforeIndex) override;
    bool clear() override;

    // Selects `item`; in a single-selection list the others are deselected.
    void select(ListItemImpl* item, bool selected);
    core::Ptr<ListItemImpl> findByName(const std::string& name) const;

    core::DropDownStyles style_;
    std::vector<core::Ptr<ListItemImpl>> items_;
};

}  // namespace impl
}  // namespace qrvn
