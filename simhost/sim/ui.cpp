#include "simhost/sim/ui.h"

#include <stdexcept>

#include "simhost/impl/application_impl.h"
#include "simhost/impl/command_inputs_impl.h"
#include "simhost/impl/commands_impl.h"
#include "simhost/impl/common.h"
#include "simhost/impl/host_state.h"
#include "simhost/impl/toolbars_impl.h"
#include "simhost/impl/ui_impl.h"

namespace qrvn {
namespace sim {

namespace {

core::Ptr<impl::UserInterfaceImpl> ui() {
    auto app = impl::HostState::instance().application();
    if (!app) throw std::logic_error("sim: the host has no application");
    auto userInterface = app->ui();
    if (!userInterface) throw std::logic_error("sim: the host has no user interface");
    return userInterface;
}

core::Ptr<impl::DropDownCommandInputImpl> dropDown(const std::string& inputId) {
    auto command = ui()->runningCommand();
    if (!command) return core::Ptr<impl::DropDownCommandInputImpl>();
    auto input = command->inputs()->itemById(inputId).query<core::DropDownCommandInput>();
    if (!input) return core::Ptr<impl::DropDownCommandInputImpl>();
    return core::Ptr<impl::DropDownCommandInputImpl>(
        std::static_pointer_cast<impl::DropDownCommandInputImpl>(input.shared()));
}

}  // namespace

bool activateWorkspace(const std::string& workspaceId) {
    auto workspace = ui()->findWorkspace(workspaceId);
    return workspace && workspace->activate();
}

std::string activeWorkspaceId() {
    auto workspace = ui()->activeWorkspace_;
    return workspace ? workspace->id_ : std::string();
}

std::vector<MessageBox> messageBoxes() { return ui()->messageBoxes_; }

void clearMessageBoxes() { ui()->messageBoxes_.clear(); }

void answerNextMessageBox(core::DialogResults answer) { ui()->messageBoxAnswers_.push_back(answer); }

void setDefaultMessageBoxAnswer(core::DialogResults answer) { ui()->defaultMessageBoxAnswer_ = answer; }

std::vector<FileDialog> fileDialogs() { return ui()->fileDialogs_; }

void answerNextFileDialog(core::DialogResults answer, const std::vector<std::string>& fileNames) {
    ui()->fileDialogAnswers_.push_back(impl::FileDialogAnswer{answer, fileNames});
}

core::Ptr<core::ToolbarTab> findTab(const std::string& tabId) { return ui()->findTab(tabId); }

core::Ptr<core::ToolbarPanel> findPanel(const std::string& panelId) { return ui()->findPanel(panelId); }

core::Ptr<core::CommandControl> findControl(const std::string& panelId, const std::string& controlId) {
    auto panel = ui()->findPanel(panelId);
    return panel ? panel->findControl(controlId) : core::Ptr<impl::CommandControlImpl>();
}

core::Ptr<core::CommandDefinition> findDefinition(const std::string& definitionId) {
    return ui()->findDefinition(definitionId);
}

std::vector<std::string> controlIds(const std::string& panelId) {
    std::vector<std::string> ids;
    if (auto panel = ui()->findPanel(panelId)) {
        for (auto& control : panel->controls_) ids.push_back(control->id_);
    }
    return ids;
}

std::vector<std::string> definitionIds() {
    std::vector<std::string> ids;
    for (auto& definition : ui()->definitions_) ids.push_back(definition->id_);
    return ids;
}

std::vector<std::string> panelsWithControl(const std::string& controlId) {
    std::vector<std::string> panels;
    for (auto& panel : ui()->allPanels()) {
        if (panel->findControl(controlId)) panels.push_back(panel->id_);
    }
    return panels;
}

core::Ptr<core::ToolbarTab> addTab(const std::string& workspaceId, const std::string& tabId, const std::string& name) {
    auto workspace = ui()->findWorkspace(workspaceId);
    if (!workspace) return core::Ptr<core::ToolbarTab>();
    return workspace->toolbarTabs()->add(tabId, name);
}

core::Ptr<core::ToolbarPanel> addPanel(const std::string& tabId, const std::string& panelId, const std::string& name) {
    auto tab = ui()->findTab(tabId);
    if (!tab) return core::Ptr<core::ToolbarPanel>();
    return tab->addPanel(panelId, name, "", false);
}

bool removeTab(const std::string& tabId) {
    auto tab = ui()->findTab(tabId);
    return tab && tab->deleteMe();
}

bool removePanel(const std::string& panelId) {
    auto panel = ui()->findPanel(panelId);
    return panel && panel->deleteMe();
}

bool pressControl(const std::string& controlId, const std::string& panelId) {
    auto userInterface = ui();
    for (auto& panel : userInterface->allPanels()) {
        if (!panelId.empty() && panel->id_ != panelId) continue;
        auto control = panel->findControl(controlId);
        if (!control || !control->valid_ || !control->visible_) continue;
        auto tab = impl::lock(panel->tab_);
        auto workspace = tab ? impl::lock(tab->workspace_) : core::Ptr<impl::WorkspaceImpl>();
        if (!workspace || workspace != userInterface->activeWorkspace_) continue;
        return userInterface->startCommand(control->definition_);
    }
    return false;
}

bool startCommand(const std::string& definitionId) {
    auto definition = ui()->findDefinition(definitionId);
    return definition && ui()->startCommand(definition);
}

core::Ptr<core::Command> runningCommand() { return ui()->runningCommand(); }

std::string runningCommandId() {
    auto command = ui()->runningCommand();
    return command ? command->definition_->id_ : std::string();
}

std::vector<std::string> dropDownItems(const std::string& inputId) {
    std::vector<std::string> names;
    if (auto input = dropDown(inputId)) {
        for (auto& item : input->items_->items_) names.push_back(item->name_);
    }
    return names;
}

std::string selectedDropDownItem(const std::string& inputId) {
    auto input = dropDown(inputId);
    if (!input) return std::string();
    auto item = input->selectedItem();
    return item ? item->name() : std::string();
}

bool pickDropDownItem(const std::string& inputId, const std::string& itemName) {
    auto input = dropDown(inputId);
    if (!input || !input->enabled_) return false;
    auto item = input->items_->findByName(itemName);
    if (!item) return false;
    input->items_->select(item.get(), true);
    ui()->inputChanged(input);
    return true;
}

bool okCommand() { return ui()->okCommand(); }

bool cancelCommand() { return ui()->cancelCommand(); }

}  // namespace sim
}  // namespace qrvn
