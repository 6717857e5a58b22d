#include "simhost/impl/command_inputs_impl.h"

#include <algorithm>

#include "simhost/impl/commands_impl.h"
#include "simhost/impl/common.h"

namespace qrvn {
namespace impl {

template <class Interface>
core::Ptr<core::Command> InputImplBase<Interface>::parentCommand() {
    return core::Ptr<core::Command>(command_.lock());
}

template class InputImplBase<core::TabCommandInput>;
template class InputImplBase<core::DropDownCommandInput>;

// ---- collections ---------------------------------------------------------------

core::Ptr<core::CommandInput> CommandInputsImpl::item(size_t index) { return itemAt(items_, index); }

core::Ptr<core::CommandInput> CommandInputsImpl::itemById(const std::string& id) {
    for (auto& input : items_) {
        if (input->id() == id) return input;
    }
    for (auto& input : items_) {
        if (auto tab = input.query<core::TabCommandInput>()) {
            if (auto found = tab->children()->itemById(id)) return found;
        }
    }
    return core::Ptr<core::CommandInput>();
}

core::Ptr<core::Command> CommandInputsImpl::command() { return core::Ptr<core::Command>(command_.lock()); }

bool CommandInputsImpl::checkNewId(const std::string& id, const char* operation) {
    if (scriptedFailure(operation)) return false;
    auto command = lock(command_);
    if (!command || !command->valid_) return failInvalid(operation);
    if (id.empty()) {
        setLastError(core::InvalidArgumentError, "command input id must not be empty");
        return false;
    }
    if (command->inputs()->itemById(id)) {
        setLastError(core::AlreadyExistsError, "command input id already in use: " + id);
        return false;
    }
    return true;
}

core::Ptr<core::TabCommandInput> CommandInputsImpl::addTabCommandInput(const std::string& id, const std::string& name,
                                                                       const std::string& resourceFolder) {
    if (!checkNewId(id, "CommandInputs::addTabCommandInput")) return core::Ptr<core::TabCommandInput>();
    auto tab = make<TabCommandInputImpl>(id, name, command_, parent_);
    tab->resourceFolder_ = resourceFolder;
    tab->children_ = make<CommandInputsImpl>(command_, std::weak_ptr<core::CommandInput>(tab.shared()));
    items_.push_back(tab);
    return tab;
}

core::Ptr<core::DropDownCommandInput>
CommandInputsImpl::addDropDownCommandInput(const std::string& id, const std::string& name, core::DropDownStyles style) {
    if (!checkNewId(id, "CommandInputs::addDropDownCommandInput")) return core::Ptr<core::DropDownCommandInput>();
    if (style < core::LabeledIconDropDownStyle || style > core::CheckBoxDropDownStyle) {
        setLastError(core::InvalidArgumentError, "unknown drop-down style");
        return core::Ptr<core::DropDownCommandInput>();
    }
    auto dropDown = make<DropDownCommandInputImpl>(id, name, command_, parent_);
    dropDown->style_ = style;
    dropDown->items_ = make<ListItemsImpl>(style);
    items_.push_back(dropDown);
    return dropDown;
}

// ---- inputs --------------------------------------------------------------------

core::Ptr<core::CommandInputs> TabCommandInputImpl::children() { return children_; }

core::Ptr<core::ListItems> DropDownCommandInputImpl::listItems() {
    if (scriptedFailure("DropDownCommandInput::listItems")) return core::Ptr<core::ListItems>();
    return items_;
}

core::Ptr<core::ListItem> DropDownCommandInputImpl::selectedItem() {
    for (auto& item : items_->items_) {
        if (item->selected_) return item;
    }
    return core::Ptr<core::ListItem>();
}

// ---- list items ----------------------------------------------------------------

size_t ListItemImpl::index() {
    auto list = lock(list_);
    if (!list) return 0;
    for (size_t i = 0; i < list->items_.size(); ++i) {
        if (list->items_[i].get() == this) return i;
    }
    return 0;
}

bool ListItemImpl::isSelected(bool selected) {
    auto list = lock(list_);
    if (!valid_ || !list) return failInvalid("ListItem::isSelected");
    list->select(this, selected);
    return true;
}

bool ListItemImpl::deleteMe() {
    auto list = lock(list_);
    if (!valid_ || !list) return failInvalid("ListItem::deleteMe");
    auto& items = list->items_;
    items.erase(std::remove_if(items.begin(), items.end(),
                               [this](const core::Ptr<ListItemImpl>& i) { return i.get() == this; }),
                items.end());
    valid_ = false;
    return true;
}

core::Ptr<core::ListItem> ListItemsImpl::item(size_t index) { return itemAt(items_, index); }

core::Ptr<core::ListItem> ListItemsImpl::add(const std::string& name, bool isSelected, const std::string& icon,
                                             int beforeIndex) {
    if (scriptedFailure("ListItems::add")) return core::Ptr<core::ListItem>();
    auto item = make<ListItemImpl>(name, icon);
    item->list_ = weak(self(this));
    if (beforeIndex < 0 || static_cast<size_t>(beforeIndex) >= items_.size()) {
        items_.push_back(item);
    } else {
        items_.insert(items_.begin() + beforeIndex, item);
    }
    if (isSelected) select(item.get(), true);
    return item;
}

bool ListItemsImpl::clear() {
    for (auto& item : items_) item->valid_ = false;
    items_.clear();
    return true;
}

void ListItemsImpl::select(ListItemImpl* item, bool selected) {
    if (selected && style_ != core::CheckBoxDropDownStyle) {
        for (auto& other : items_) other->selected_ = false;
    }
    item->selected_ = selected;
}

core::Ptr<ListItemImpl> ListItemsImpl::findByName(const std::string& name) const {
    for (auto& item : items_) {
        if (item->name_ == name) return item;
    }
    return core::Ptr<ListItemImpl>();
}

}  // namespace impl
}  // namespace qrvn
