// The simulated toolbars: tabs (owned by a workspace), panels (owned by a
// tab) and command controls (owned by a panel, each showing one command
// definition). Deleting an item invalidates it and everything it owns.
// User-interface thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/core/toolbars.h"

namespace qrvn {
namespace impl {

class UserInterfaceImpl;
class WorkspaceImpl;
class ToolbarPanelImpl;
class ToolbarTabImpl;
class CommandDefinitionImpl;

class CommandControlImpl : public core::CommandControl {
public:
    std::string id() override { return id_; }
    size_t index() override;
    bool isVisible() override { return visible_; }
    bool isVisible(bool visible) override;
    core::Ptr<core::ToolbarPanel> parentPanel() override;
    bool deleteMe() override;
    bool isValid() override { return valid_; }
    core::Ptr<core::CommandDefinition> commandDefinition() override;
    bool isPromoted() override { return promoted_; }
    bool isPromoted(bool promoted) override;
    bool isPromotedByDefault() override { return promotedByDefault_; }
    bool isPromotedByDefault(bool promoted) override;

    void invalidate() { valid_ = false; }

    std::string id_;
    std::weak_ptr<ToolbarPanelImpl> panel_;
    core::Ptr<CommandDefinitionImpl> definition_;
    bool visible_ = true;
    bool promoted_ = false;
    bool promotedByDefault_ = false;
    bool valid_ = true;
};

class ToolbarPanelImpl : public core::ToolbarPanel {
public:
    ToolbarPanelImpl(std::string id, std::string name) : id_(std::move(id)), name_(std::move(name)) {}
    std::string id() override { return id_; }
    std::string name() override { return name_; }
    bool isVisible() override { return valid_; }
    core::Ptr<core::ToolbarControls> controls() override;
    core::Ptr<core::ToolbarTab> parentTab() override;
    bool deleteMe() override;
    bool isValid() override { return valid_; }

    core::Ptr<CommandControlImpl> findControl(const std::string& id) const;
    void removeControl(const CommandControlImpl* control);
    void invalidate();

    std::string id_, name_;
    std::weak_ptr<ToolbarTabImpl> tab_;
    std::vector<core::Ptr<CommandControlImpl>> controls_;
    bool valid_ = true;
};

class ToolbarTabImpl : public core::ToolbarTab {
public:
    ToolbarTabImpl(std::string id, std::string name) : id_(std::move(id)), name_(std::move(name)) {}
    std::string id() override { return id_; }
    std::string name() override { return name_; }
    bool isActive() override;
    bool activate() override;
    bool isVisible() override { return valid_; }
    core::Ptr<core::ToolbarPanels> toolbarPanels() override;
    core::Ptr<core::Workspace> parentWorkspace() override;
    bool deleteMe() override;
    bool isValid() override { return valid_; }

    core::Ptr<ToolbarPanelImpl> addPanel(const std::string& id, const std::string& name, const std::string& positionID,
                                         bool isBefore);
    void invalidate();

    std::string id_, name_;
    std::weak_ptr<WorkspaceImpl> workspace_;
    std::vector<core::Ptr<ToolbarPanelImpl>> panels_;
    bool valid_ = true;
};

// The UI that owns a tab, panel or control (empty once it is gone).
core::Ptr<UserInterfaceImpl> uiOf(const ToolbarTabImpl& tab);
core::Ptr<UserInterfaceImpl> uiOf(const ToolbarPanelImpl& panel);

// Lists over every tab / panel of the user interface.
core::Ptr<core::ToolbarTabList> makeTabList(const core::Ptr<UserInterfaceImpl>& ui);
core::Ptr<core::ToolbarPanelList> makePanelList(const core::Ptr<UserInterfaceImpl>& ui);
// Tabs of one workspace; panels of one workspace.
core::Ptr<core::ToolbarTabs> makeTabs(const core::Ptr<WorkspaceImpl>& workspace);
core::Ptr<core::ToolbarPanels> makeWorkspacePanels(const core::Ptr<WorkspaceImpl>& workspace);

}  // namespace impl
}  // namespace qrvn
