// The inputs of a command's dialog: a collection per command (and one per
// tab input for its children), tab inputs and drop-down inputs with their
// list items. Owned by the command. User-interface thread only.
#pragma once

#include <cstddef>
#include <string>

#include "host/core/base.h"

namespace qrvn {
namespace core {

class Command;
class CommandInput;
class TabCommandInput;
class DropDownCommandInput;
class ListItem;
class ListItems;

enum DropDownStyles {
    LabeledIconDropDownStyle = 0,
    // Plain texts, one selected at a time.
    TextListDropDownStyle = 1,
    // Check boxes, any number selected.
    CheckBoxDropDownStyle = 2,
};

class QRVN_API CommandInputs : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::CommandInputs")
public:
    virtual size_t count() = 0;
    virtual Ptr<CommandInput> item(size_t index) = 0;
    // Searches this collection and the children of its tab inputs. Input ids
    // are unique within a command; adding a duplicate id fails.
    virtual Ptr<CommandInput> itemById(const std::string& id) = 0;
    virtual Ptr<Command> command() = 0;
    virtual Ptr<TabCommandInput> addTabCommandInput(const std::string& id, const std::string& name,
                                                    const std::string& resourceFolder = "") = 0;
    virtual Ptr<DropDownCommandInput> addDropDownCommandInput(const std::string& id, const std::string& name,
                                                              DropDownStyles dropDownStyle) = 0;
};

class QRVN_API CommandInput : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::CommandInput")
public:
    virtual std::string id() = 0;
    virtual std::string name() = 0;
    virtual bool isVisible() = 0;
    virtual bool isVisible(bool visible) = 0;
    virtual bool isEnabled() = 0;
    virtual bool isEnabled(bool enabled) = 0;
    virtual Ptr<Command> parentCommand() = 0;
    // The tab input this input sits in; empty at the top level.
    virtual Ptr<CommandInput> parentCommandInput() = 0;
};

class QRVN_API TabCommandInput : public CommandInput {
    QRVN_CLASS_TYPE(CommandInput, "qrvn::core::TabCommandInput")
public:
    virtual Ptr<CommandInputs> children() = 0;
};

class QRVN_API DropDownCommandInput : public CommandInput {
    QRVN_CLASS_TYPE(CommandInput, "qrvn::core::DropDownCommandInput")
public:
    virtual DropDownStyles dropDownStyle() = 0;
    virtual Ptr<ListItems> listItems() = 0;
    // The first selected item; empty when none is selected.
    virtual Ptr<ListItem> selectedItem() = 0;
};

class QRVN_API ListItems : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::ListItems")
public:
    virtual size_t count() = 0;
    virtual Ptr<ListItem> item(size_t index) = 0;
    // Adds an item before the index `beforeIndex` (-1: at the end). In a
    // single-selection list, a selected new item deselects the others.
    virtual Ptr<ListItem> add(const std::string& name, bool isSelected, const std::string& icon = "",
                              int beforeIndex = -1) = 0;
    virtual bool clear() = 0;
};

class QRVN_API ListItem : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::ListItem")
public:
    virtual std::string name() = 0;
    virtual size_t index() = 0;
    virtual bool isSelected() = 0;
    virtual bool isSelected(bool selected) = 0;
    virtual bool deleteMe() = 0;
};

}  // namespace core
}  // namespace qrvn
