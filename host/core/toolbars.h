// Toolbar tabs, panels and controls. A workspace owns its tabs, a tab its
// panels, a panel its controls. Ids are unique across the user interface:
// adding a tab, panel or control whose id exists already fails (empty handle,
// last error AlreadyExistsError). Deleted items become invalid.
// User-interface thread only.
#pragma once

#include <cstddef>
#include <string>

#include "host/core/base.h"

namespace qrvn {
namespace core {

class ToolbarTab;
class ToolbarPanel;
class ToolbarPanels;
class ToolbarControl;
class ToolbarControls;
class CommandControl;
class CommandDefinition;
class Workspace;

class QRVN_API ToolbarTabs : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::ToolbarTabs")
public:
    virtual size_t count() = 0;
    virtual Ptr<ToolbarTab> item(size_t index) = 0;
    virtual Ptr<ToolbarTab> itemById(const std::string& id) = 0;
    virtual Ptr<ToolbarTab> add(const std::string& id, const std::string& name) = 0;
};

// Every tab of every workspace.
class QRVN_API ToolbarTabList : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::ToolbarTabList")
public:
    virtual size_t count() = 0;
    virtual Ptr<ToolbarTab> item(size_t index) = 0;
    virtual Ptr<ToolbarTab> itemById(const std::string& id) = 0;
};

class QRVN_API ToolbarTab : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::ToolbarTab")
public:
    virtual std::string id() = 0;
    virtual std::string name() = 0;
    // True when this is the selected tab of its workspace.
    virtual bool isActive() = 0;
    // Selects the tab in its workspace (does not switch workspaces).
    virtual bool activate() = 0;
    virtual bool isVisible() = 0;
    virtual Ptr<ToolbarPanels> toolbarPanels() = 0;
    virtual Ptr<Workspace> parentWorkspace() = 0;
    virtual bool deleteMe() = 0;
};

class QRVN_API ToolbarPanels : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::ToolbarPanels")
public:
    virtual size_t count() = 0;
    virtual Ptr<ToolbarPanel> item(size_t index) = 0;
    virtual Ptr<ToolbarPanel> itemById(const std::string& id) = 0;
    // Adds a panel next to the panel `positionID` (before or after it); an
    // empty or unknown position puts it first (isBefore) or last.
    virtual Ptr<ToolbarPanel> add(const std::string& id, const std::string& name, const std::string& positionID = "",
                                  bool isBefore = true) = 0;
};

// Every panel of every workspace.
class QRVN_API ToolbarPanelList : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::ToolbarPanelList")
public:
    virtual size_t count() = 0;
    virtual Ptr<ToolbarPanel> item(size_t index) = 0;
    virtual Ptr<ToolbarPanel> itemById(const std::string& id) = 0;
};

class QRVN_API ToolbarPanel : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::ToolbarPanel")
public:
    virtual std::string id() = 0;
    virtual std::string name() = 0;
    virtual bool isVisible() = 0;
    virtual Ptr<ToolbarControls> controls() = 0;
    virtual Ptr<ToolbarTab> parentTab() = 0;
    // Deletes the panel with its controls.
    virtual bool deleteMe() = 0;
};

class QRVN_API ToolbarControls : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::ToolbarControls")
public:
    virtual size_t count() = 0;
    virtual Ptr<ToolbarControl> item(size_t index) = 0;
    virtual Ptr<ToolbarControl> itemById(const std::string& id) = 0;
    // Adds a button for the definition; the control's id is the definition's
    // id. Placed before or after the control `positionID`; an empty or
    // unknown position puts it first (isBefore) or last.
    virtual Ptr<CommandControl> addCommand(const Ptr<CommandDefinition>& commandDefinition,
                                           const std::string& positionID = "", bool isBefore = false) = 0;
};

class QRVN_API ToolbarControl : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::ToolbarControl")
public:
    virtual std::string id() = 0;
    virtual size_t index() = 0;
    virtual bool isVisible() = 0;
    virtual bool isVisible(bool visible) = 0;
    virtual Ptr<ToolbarPanel> parentPanel() = 0;
    virtual bool deleteMe() = 0;
};

// A toolbar button that starts a command.
class QRVN_API CommandControl : public ToolbarControl {
    QRVN_CLASS_TYPE(ToolbarControl, "qrvn::core::CommandControl")
public:
    virtual Ptr<CommandDefinition> commandDefinition() = 0;
    // Promoted controls are shown in the panel itself, not only in its menu.
    virtual bool isPromoted() = 0;
    virtual bool isPromoted(bool promoted) = 0;
    virtual bool isPromotedByDefault() = 0;
    virtual bool isPromotedByDefault(bool promoted) = 0;
};

}  // namespace core
}  // namespace qrvn
