#include "simhost/impl/toolbars_impl.h"

#include <algorithm>

#include "simhost/impl/commands_impl.h"
#include "simhost/impl/common.h"
#include "simhost/impl/ui_impl.h"

namespace qrvn {
namespace impl {

namespace {

// Where to insert next to the item `positionID`: before or after it; an
// empty or unknown position means the front (isBefore) or the end.
template <class T>
size_t insertionIndex(const std::vector<core::Ptr<T>>& items, const std::string& positionID, bool isBefore) {
    for (size_t i = 0; i < items.size(); ++i) {
        if (!positionID.empty() && items[i]->id_ == positionID) return isBefore ? i : i + 1;
    }
    return isBefore ? 0 : items.size();
}

class TabListView : public core::ToolbarTabList {
public:
    explicit TabListView(core::Ptr<UserInterfaceImpl> ui) : ui_(std::move(ui)) {}
    size_t count() override { return ui_->allTabs().size(); }
    core::Ptr<core::ToolbarTab> item(size_t index) override { return itemAt(ui_->allTabs(), index); }
    core::Ptr<core::ToolbarTab> itemById(const std::string& id) override { return ui_->findTab(id); }

private:
    core::Ptr<UserInterfaceImpl> ui_;
};

class PanelListView : public core::ToolbarPanelList {
public:
    explicit PanelListView(core::Ptr<UserInterfaceImpl> ui) : ui_(std::move(ui)) {}
    size_t count() override { return ui_->allPanels().size(); }
    core::Ptr<core::ToolbarPanel> item(size_t index) override { return itemAt(ui_->allPanels(), index); }
    core::Ptr<core::ToolbarPanel> itemById(const std::string& id) override { return ui_->findPanel(id); }

private:
    core::Ptr<UserInterfaceImpl> ui_;
};

class TabsView : public core::ToolbarTabs {
public:
    explicit TabsView(core::Ptr<WorkspaceImpl> workspace) : workspace_(std::move(workspace)) {}
    size_t count() override { return workspace_->tabs_.size(); }
    core::Ptr<core::ToolbarTab> item(size_t index) override { return itemAt(workspace_->tabs_, index); }
    core::Ptr<core::ToolbarTab> itemById(const std::string& id) override {
        for (auto& tab : workspace_->tabs_) {
            if (tab->id_ == id) return tab;
        }
        return core::Ptr<core::ToolbarTab>();
    }
    core::Ptr<core::ToolbarTab> add(const std::string& id, const std::string& name) override {
        if (scriptedFailure("ToolbarTabs::add")) return core::Ptr<core::ToolbarTab>();
        auto ui = lock(workspace_->ui_);
        if (id.empty() || !ui) {
            setLastError(core::InvalidArgumentError, "invalid toolbar tab id");
            return core::Ptr<core::ToolbarTab>();
        }
        if (ui->findTab(id)) {
            setLastError(core::AlreadyExistsError, "toolbar tab id already in use: " + id);
            return core::Ptr<core::ToolbarTab>();
        }
        auto tab = make<ToolbarTabImpl>(id, name);
        tab->workspace_ = weak(workspace_);
        workspace_->tabs_.push_back(tab);
        return tab;
    }

private:
    core::Ptr<WorkspaceImpl> workspace_;
};

// The panels of one tab (with add) or of a whole workspace (add goes to the
// workspace's first tab).
class PanelsView : public core::ToolbarPanels {
public:
    PanelsView(core::Ptr<ToolbarTabImpl> tab, core::Ptr<WorkspaceImpl> workspace)
        : tab_(std::move(tab)), workspace_(std::move(workspace)) {}
    size_t count() override { return list().size(); }
    core::Ptr<core::ToolbarPanel> item(size_t index) override { return itemAt(list(), index); }
    core::Ptr<core::ToolbarPanel> itemById(const std::string& id) override {
        for (auto& panel : list()) {
            if (panel->id_ == id) return panel;
        }
        return core::Ptr<core::ToolbarPanel>();
    }
    core::Ptr<core::ToolbarPanel> add(const std::string& id, const std::string& name, const std::string& positionID,
                                      bool isBefore) override {
        auto tab = tab_;
        if (!tab && workspace_ && !workspace_->tabs_.empty()) tab = workspace_->tabs_.front();
        if (!tab) {
            setLastError(core::InvalidArgumentError, "no toolbar tab to add the panel to");
            return core::Ptr<core::ToolbarPanel>();
        }
        return tab->addPanel(id, name, positionID, isBefore);
    }

private:
    std::vector<core::Ptr<ToolbarPanelImpl>> list() const {
        if (tab_) return tab_->panels_;
        std::vector<core::Ptr<ToolbarPanelImpl>> panels;
        for (auto& tab : workspace_->tabs_) panels.insert(panels.end(), tab->panels_.begin(), tab->panels_.end());
        return panels;
    }
    core::Ptr<ToolbarTabImpl> tab_;
    core::Ptr<WorkspaceImpl> workspace_;
};

class ControlsView : public core::ToolbarControls {
public:
    explicit ControlsView(core::Ptr<ToolbarPanelImpl> panel) : panel_(std::move(panel)) {}
    size_t count() override { return panel_->controls_.size(); }
    core::Ptr<core::ToolbarControl> item(size_t index) override { return itemAt(panel_->controls_, index); }
    core::Ptr<core::ToolbarControl> itemById(const std::string& id) override { return panel_->findControl(id); }
    core::Ptr<core::CommandControl> addCommand(const core::Ptr<core::CommandDefinition>& commandDefinition,
                                               const std::string& positionID, bool isBefore) override {
        if (scriptedFailure("ToolbarControls::addCommand")) return core::Ptr<core::CommandControl>();
        if (!panel_->valid_) {
            failInvalid("ToolbarControls::addCommand");
            return core::Ptr<core::CommandControl>();
        }
        auto ui = uiOf(*panel_);
        auto definition =
            commandDefinition ? ui->findDefinition(commandDefinition->id()) : core::Ptr<CommandDefinitionImpl>();
        if (!definition || definition.get() != commandDefinition.get() || !definition->valid_) {
            setLastError(core::InvalidArgumentError, "invalid command definition");
            return core::Ptr<core::CommandControl>();
        }
        if (panel_->findControl(definition->id_)) {
            setLastError(core::AlreadyExistsError,
                         "control id already in use in panel " + panel_->id_ + ": " + definition->id_);
            return core::Ptr<core::CommandControl>();
        }
        auto control = make<CommandControlImpl>();
        control->id_ = definition->id_;
        control->panel_ = weak(panel_);
        control->definition_ = definition;
        auto& controls = panel_->controls_;
        controls.insert(controls.begin() + static_cast<long>(insertionIndex(controls, positionID, isBefore)), control);
        return control;
    }

private:
    core::Ptr<ToolbarPanelImpl> panel_;
};

}  // namespace

// ---- controls ------------------------------------------------------------------

size_t CommandControlImpl::index() {
    auto panel = lock(panel_);
    if (!panel) return 0;
    for (size_t i = 0; i < panel->controls_.size(); ++i) {
        if (panel->controls_[i].get() == this) return i;
    }
    return 0;
}

bool CommandControlImpl::isVisible(bool visible) {
    if (!valid_) return failInvalid("ToolbarControl::isVisible");
    visible_ = visible;
    return true;
}

core::Ptr<core::ToolbarPanel> CommandControlImpl::parentPanel() { return lock(panel_); }

bool CommandControlImpl::deleteMe() {
    if (!valid_) return failInvalid("ToolbarControl::deleteMe");
    if (scriptedFailure("ToolbarControl::deleteMe")) return false;
    if (auto panel = lock(panel_)) panel->removeControl(this);
    valid_ = false;
    return true;
}

core::Ptr<core::CommandDefinition> CommandControlImpl::commandDefinition() { return definition_; }

bool CommandControlImpl::isPromoted(bool promoted) {
    if (!valid_) return failInvalid("CommandControl::isPromoted");
    promoted_ = promoted;
    return true;
}

bool CommandControlImpl::isPromotedByDefault(bool promoted) {
    if (!valid_) return failInvalid("CommandControl::isPromotedByDefault");
    promotedByDefault_ = promoted;
    return true;
}

// ---- panels --------------------------------------------------------------------

core::Ptr<core::ToolbarControls> ToolbarPanelImpl::controls() {
    if (scriptedFailure("ToolbarPanel::controls")) return core::Ptr<core::ToolbarControls>();
    return make<ControlsView>(self(this));
}

core::Ptr<core::ToolbarTab> ToolbarPanelImpl::parentTab() { return lock(tab_); }

core::Ptr<CommandControlImpl> ToolbarPanelImpl::findControl(const std::string& id) const {
    for (auto& control : controls_) {
        if (control->id_ == id) return control;
    }
    return core::Ptr<CommandControlImpl>();
}

void ToolbarPanelImpl::removeControl(const CommandControlImpl* control) {
    controls_.erase(std::remove_if(controls_.begin(), controls_.end(),
                                   [control](const core::Ptr<CommandControlImpl>& c) { return c.get() == control; }),
                    controls_.end());
}

void ToolbarPanelImpl::invalidate() {
    valid_ = false;
    for (auto& control : controls_) control->invalidate();
    controls_.clear();
}

bool ToolbarPanelImpl::deleteMe() {
    if (!valid_) return failInvalid("ToolbarPanel::deleteMe");
    if (scriptedFailure("ToolbarPanel::deleteMe")) return false;
    if (auto tab = lock(tab_)) {
        auto& panels = tab->panels_;
        panels.erase(std::remove_if(panels.begin(), panels.end(),
                                    [this](const core::Ptr<ToolbarPanelImpl>& p) { return p.get() == this; }),
                     panels.end());
    }
    invalidate();
    return true;
}

// ---- tabs ----------------------------------------------------------------------

bool ToolbarTabImpl::isActive() {
    auto workspace = lock(workspace_);
    return valid_ && workspace && workspace->activeTab_.get() == this;
}

bool ToolbarTabImpl::activate() {
    auto workspace = lock(workspace_);
    if (!valid_ || !workspace) return failInvalid("ToolbarTab::activate");
    workspace->activeTab_ = self(this);
    return true;
}

core::Ptr<core::ToolbarPanels> ToolbarTabImpl::toolbarPanels() {
    if (scriptedFailure("ToolbarTab::toolbarPanels")) return core::Ptr<core::ToolbarPanels>();
    return make<PanelsView>(self(this), core::Ptr<WorkspaceImpl>());
}

core::Ptr<core::Workspace> ToolbarTabImpl::parentWorkspace() { return lock(workspace_); }

core::Ptr<ToolbarPanelImpl> ToolbarTabImpl::addPanel(const std::string& id, const std::string& name,
                                                     const std::string& positionID, bool isBefore) {
    if (scriptedFailure("ToolbarPanels::add")) return core::Ptr<ToolbarPanelImpl>();
    auto ui = uiOf(*this);
    if (!valid_ || !ui) {
        failInvalid("ToolbarPanels::add");
        return core::Ptr<ToolbarPanelImpl>();
    }
    if (id.empty()) {
        setLastError(core::InvalidArgumentError, "toolbar panel id must not be empty");
        return core::Ptr<ToolbarPanelImpl>();
    }
    if (ui->findPanel(id)) {
        setLastError(core::AlreadyExistsError, "toolbar panel id already in use: " + id);
        return core::Ptr<ToolbarPanelImpl>();
    }
    auto panel = make<ToolbarPanelImpl>(id, name);
    panel->tab_ = weak(self(this));
    panels_.insert(panels_.begin() + static_cast<long>(insertionIndex(panels_, positionID, isBefore)), panel);
    return panel;
}

void ToolbarTabImpl::invalidate() {
    valid_ = false;
    for (auto& panel : panels_) panel->invalidate();
    panels_.clear();
}

bool ToolbarTabImpl::deleteMe() {
    if (!valid_) return failInvalid("ToolbarTab::deleteMe");
    if (auto workspace = lock(workspace_)) {
        auto& tabs = workspace->tabs_;
        tabs.erase(std::remove_if(tabs.begin(), tabs.end(),
                                  [this](const core::Ptr<ToolbarTabImpl>& t) { return t.get() == this; }),
                   tabs.end());
        if (workspace->activeTab_.get() == this)
            workspace->activeTab_ = tabs.empty() ? core::Ptr<ToolbarTabImpl>() : tabs.front();
    }
    invalidate();
    return true;
}

// ---- helpers -------------------------------------------------------------------

core::Ptr<UserInterfaceImpl> uiOf(const ToolbarTabImpl& tab) {
    auto workspace = lock(tab.workspace_);
    return workspace ? lock(workspace->ui_) : core::Ptr<UserInterfaceImpl>();
}

core::Ptr<UserInterfaceImpl> uiOf(const ToolbarPanelImpl& panel) {
    auto tab = lock(panel.tab_);
    return tab ? uiOf(*tab) : core::Ptr<UserInterfaceImpl>();
}

core::Ptr<core::ToolbarTabList> makeTabList(const core::Ptr<UserInterfaceImpl>& ui) { return make<TabListView>(ui); }

core::Ptr<core::ToolbarPanelList> makePanelList(const core::Ptr<UserInterfaceImpl>& ui) {
    return make<PanelListView>(ui);
}

core::Ptr<core::ToolbarTabs> makeTabs(const core::Ptr<WorkspaceImpl>& workspace) { return make<TabsView>(workspace); }

core::Ptr<core::ToolbarPanels> makeWorkspacePanels(const core::Ptr<WorkspaceImpl>& workspace) {
    return make<PanelsView>(core::Ptr<ToolbarTabImpl>(), workspace);
}

}  // namespace impl
}  // namespace qrvn
