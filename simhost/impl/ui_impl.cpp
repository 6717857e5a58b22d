#include "simhost/impl/ui_impl.h"

#include <algorithm>

#include "simhost/impl/application_impl.h"
#include "simhost/impl/command_inputs_impl.h"
#include "simhost/impl/commands_impl.h"
#include "simhost/impl/common.h"
#include "simhost/impl/document_impl.h"
#include "simhost/impl/palettes_impl.h"
#include "simhost/impl/toolbars_impl.h"

namespace qrvn {
namespace impl {

namespace {

class WorkspacesView : public core::Workspaces {
public:
    explicit WorkspacesView(core::Ptr<UserInterfaceImpl> ui) : ui_(std::move(ui)) {}
    size_t count() override { return ui_->workspaces_.size(); }
    core::Ptr<core::Workspace> item(size_t index) override { return itemAt(ui_->workspaces_, index); }
    core::Ptr<core::Workspace> itemById(const std::string& id) override { return ui_->findWorkspace(id); }

private:
    core::Ptr<UserInterfaceImpl> ui_;
};

core::Ptr<core::WorkspaceEvent> workspaceEvent(const char* name) { return make<core::WorkspaceEvent>(name); }

struct PanelLayout {
    const char* id;
    const char* name;
};
struct TabLayout {
    const char* id;
    const char* name;
    std::vector<PanelLayout> panels;
};

}  // namespace

UserInterfaceImpl::UserInterfaceImpl()
    : workspaceActivated_(workspaceEvent("workspaceActivated")),
      workspaceDeactivated_(workspaceEvent("workspaceDeactivated")),
      workspacePreActivate_(workspaceEvent("workspacePreActivate")),
      workspacePreDeactivate_(workspaceEvent("workspacePreDeactivate")) {}

core::Ptr<UserInterfaceImpl> UserInterfaceImpl::create(std::weak_ptr<ApplicationImpl> application) {
    auto ui = make<UserInterfaceImpl>();
    ui->application_ = std::move(application);
    ui->buildDefaultLayout();
    return ui;
}

// The workspaces, tabs and panels a freshly started host shows.
void UserInterfaceImpl::buildDefaultLayout() {
    const std::vector<TabLayout> design = {
        {"SolidTab",
         "Solid",
         {{"SolidCreatePanel", "Create"},
          {"SolidModifyPanel", "Modify"},
          {"InspectPanel", "Inspect"},
          {"SolidScriptsAddinsPanel", "Add-Ins"}}},
        {"ParaMeshOuterTab", "Mesh", {{"ParaMeshCreatePanel", "Create"}, {"ParaMeshModifyPanel", "Modify"}}},
        {"BaseFeatureSolidTab", "Solid", {{"BaseFeatureCreatePanel", "Create"}}},
        {"ParaMeshBaseFeatureTab", "Mesh", {{"BaseFeatureMeshCreatePanel", "Create"}}},
        {"ToolsTab", "Utilities", {{"UtilityPanel", "Utility"}, {"ToolsAddinsPanel", "Add-Ins"}}},
        {"PlasticTab", "Plastic", {{"PlasticCreatePanel", "Create"}}},
        {"FormTab", "Form", {{"FormCreatePanel", "Create"}}},
    };
    const std::vector<TabLayout> manufacture = {
        {"MillingTab", "Milling", {{"CAMJobPanel", "Setup"}, {"CAM2DPanel", "2D"}}},
        {"TurningTab", "Turning", {{"CAMTurningJobPanel", "Setup"}}},
        {"AdditiveTab", "Additive", {{"CAMAdditiveJobPanel", "Setup"}, {"CAMAdditiveActionPanel", "Action"}}},
        {"CAMUtilitiesTab", "Utilities", {{"CAMManagePanel", "Manage"}}},
    };
    auto build = [this](const char* id, const char* name, const char* productType,
                        const std::vector<TabLayout>& layout) {
        auto workspace = addWorkspace(id, name, productType);
        for (const TabLayout& tabLayout : layout) {
            auto tab = make<ToolbarTabImpl>(tabLayout.id, tabLayout.name);
            tab->workspace_ = weak(workspace);
            workspace->tabs_.push_back(tab);
            for (const PanelLayout& panel : tabLayout.panels) tab->addPanel(panel.id, panel.name, "", false);
        }
        workspace->activeTab_ = workspace->tabs_.front();
        return workspace;
    };
    activeWorkspace_ = build("KalvixSolidEnvironment", "Design", "DesignProductType", design);
    build("CAMEnvironment", "Manufacture", "CAMProductType", manufacture);
}

core::Ptr<ApplicationImpl> UserInterfaceImpl::application() const { return lock(application_); }

core::DialogResults UserInterfaceImpl::messageBox(const std::string& text, const std::string& title,
                                                  core::MessageBoxButtonTypes buttons, core::MessageBoxIconTypes icon) {
    core::DialogResults answer = defaultMessageBoxAnswer_;
    if (!messageBoxAnswers_.empty()) {
        answer = messageBoxAnswers_.front();
        messageBoxAnswers_.pop_front();
    }
    messageBoxes_.push_back(MessageBoxRecord{text, title, buttons, icon, answer});
    return answer;
}

core::Ptr<core::CommandDefinitions> UserInterfaceImpl::commandDefinitions() {
    if (scriptedFailure("UserInterface::commandDefinitions")) return core::Ptr<core::CommandDefinitions>();
    return makeCommandDefinitions(self(this));
}

core::Ptr<core::ToolbarPanelList> UserInterfaceImpl::allToolbarPanels() {
    if (scriptedFailure("UserInterface::allToolbarPanels")) return core::Ptr<core::ToolbarPanelList>();
    return makePanelList(self(this));
}

core::Ptr<core::ToolbarTabList> UserInterfaceImpl::allToolbarTabs() {
    if (scriptedFailure("UserInterface::allToolbarTabs")) return core::Ptr<core::ToolbarTabList>();
    return makeTabList(self(this));
}

core::Ptr<core::Workspaces> UserInterfaceImpl::workspaces() {
    if (scriptedFailure("UserInterface::workspaces")) return core::Ptr<core::Workspaces>();
    return make<WorkspacesView>(self(this));
}

core::Ptr<core::Workspace> UserInterfaceImpl::activeWorkspace() {
    if (scriptedFailure("UserInterface::activeWorkspace")) return core::Ptr<core::Workspace>();
    return activeWorkspace_;
}

core::Ptr<core::Command> UserInterfaceImpl::activeCommand() { return activeCommand_; }

core::Ptr<core::Palettes> UserInterfaceImpl::palettes() {
    if (scriptedFailure("UserInterface::palettes")) return core::Ptr<core::Palettes>();
    return makePalettes(self(this));
}

core::Ptr<core::FileDialog> UserInterfaceImpl::createFileDialog() {
    if (scriptedFailure("UserInterface::createFileDialog")) return core::Ptr<core::FileDialog>();
    return make<FileDialogImpl>(weak(self(this)));
}

// ---- workspaces ----------------------------------------------------------------

core::Ptr<WorkspaceImpl> UserInterfaceImpl::findWorkspace(const std::string& id) const {
    for (auto& workspace : workspaces_) {
        if (workspace->id_ == id) return workspace;
    }
    return core::Ptr<WorkspaceImpl>();
}

core::Ptr<WorkspaceImpl> UserInterfaceImpl::addWorkspace(const std::string& id, const std::string& name,
                                                         const std::string& productType) {
    auto workspace = make<WorkspaceImpl>(id, name, productType);
    workspace->ui_ = weak(self(this));
    workspaces_.push_back(workspace);
    return workspace;
}

std::vector<core::Ptr<ToolbarTabImpl>> UserInterfaceImpl::allTabs() const {
    std::vector<core::Ptr<ToolbarTabImpl>> tabs;
    for (auto& workspace : workspaces_) tabs.insert(tabs.end(), workspace->tabs_.begin(), workspace->tabs_.end());
    return tabs;
}

std::vector<core::Ptr<ToolbarPanelImpl>> UserInterfaceImpl::allPanels() const {
    std::vector<core::Ptr<ToolbarPanelImpl>> panels;
    for (auto& tab : allTabs()) panels.insert(panels.end(), tab->panels_.begin(), tab->panels_.end());
    return panels;
}

core::Ptr<ToolbarTabImpl> UserInterfaceImpl::findTab(const std::string& id) const {
    for (auto& tab : allTabs()) {
        if (tab->id_ == id) return tab;
    }
    return core::Ptr<ToolbarTabImpl>();
}

core::Ptr<ToolbarPanelImpl> UserInterfaceImpl::findPanel(const std::string& id) const {
    for (auto& panel : allPanels()) {
        if (panel->id_ == id) return panel;
    }
    return core::Ptr<ToolbarPanelImpl>();
}

bool UserInterfaceImpl::activateWorkspace(const core::Ptr<WorkspaceImpl>& workspace) {
    if (!workspace) return failInvalid("Workspace::activate");
    if (activeWorkspace_ == workspace) return true;
    auto app = application();
    auto document = app ? app->activeDocumentImpl() : core::Ptr<DocumentImpl>();
    if (workspace->productType_ == "CAMProductType" && !document) {
        setLastError(core::BadApiCallError, "the workspace " + workspace->id_ + " needs an active document");
        return false;
    }
    auto previous = activeWorkspace_;
    if (previous) workspacePreDeactivate_->fire(make<core::WorkspaceEventArgs>(previous));
    workspacePreActivate_->fire(make<core::WorkspaceEventArgs>(workspace));
    // Entering manufacturing gives the document its manufacturing side.
    if (workspace->productType_ == "CAMProductType" && document && document->valid_) document->ensureCam();
    activeWorkspace_ = workspace;
    if (document) document->workspaceId_ = workspace->id_;
    if (previous) workspaceDeactivated_->fire(make<core::WorkspaceEventArgs>(previous));
    if (activeWorkspace_ == workspace) workspaceActivated_->fire(make<core::WorkspaceEventArgs>(workspace));
    return true;
}

void UserInterfaceImpl::showWorkspace(const std::string& id) {
    auto workspace = findWorkspace(id);
    if (!workspace) workspace = findWorkspace("KalvixSolidEnvironment");
    if (workspace) activateWorkspace(workspace);
}

bool WorkspaceImpl::isActive() {
    auto ui = lock(ui_);
    return ui && ui->activeWorkspace_.get() == this;
}

bool WorkspaceImpl::activate() {
    auto ui = lock(ui_);
    if (!ui) return failInvalid("Workspace::activate");
    if (scriptedFailure("Workspace::activate")) return false;
    return ui->activateWorkspace(self(this));
}

core::Ptr<core::ToolbarTabs> WorkspaceImpl::toolbarTabs() {
    if (scriptedFailure("Workspace::toolbarTabs")) return core::Ptr<core::ToolbarTabs>();
    return makeTabs(self(this));
}

core::Ptr<core::ToolbarPanels> WorkspaceImpl::toolbarPanels() {
    if (scriptedFailure("Workspace::toolbarPanels")) return core::Ptr<core::ToolbarPanels>();
    return makeWorkspacePanels(self(this));
}

// ---- command definitions ---------------------------------------------------------

core::Ptr<CommandDefinitionImpl> UserInterfaceImpl::findDefinition(const std::string& id) const {
    for (auto& definition : definitions_) {
        if (definition->id_ == id) return definition;
    }
    return core::Ptr<CommandDefinitionImpl>();
}

core::Ptr<CommandDefinitionImpl> UserInterfaceImpl::addDefinition(const std::string& id, const std::string& name,
                                                                  const std::string& tooltip,
                                                                  const std::string& resourceFolder) {
    if (id.empty()) {
        setLastError(core::InvalidArgumentError, "command definition id must not be empty");
        return core::Ptr<CommandDefinitionImpl>();
    }
    if (findDefinition(id)) {
        setLastError(core::AlreadyExistsError, "command definition id already in use: " + id);
        return core::Ptr<CommandDefinitionImpl>();
    }
    auto definition = make<CommandDefinitionImpl>(id, name, tooltip, resourceFolder);
    definition->ui_ = weak(self(this));
    definitions_.push_back(definition);
    return definition;
}

void UserInterfaceImpl::removeDefinition(const core::Ptr<CommandDefinitionImpl>& definition) {
    if (activeCommand_ && activeCommand_->definition_ == definition) cancelCommand();
    definitions_.erase(std::remove(definitions_.begin(), definitions_.end(), definition), definitions_.end());
    // A button cannot outlive its command: controls showing it go too.
    for (auto& panel : allPanels()) {
        auto controls = panel->controls_;
        for (auto& control : controls) {
            if (control->definition_ == definition) {
                panel->removeControl(control.get());
                control->invalidate();
            }
        }
    }
    definition->valid_ = false;
}

// ---- command flow --------------------------------------------------------------

bool UserInterfaceImpl::startCommand(const core::Ptr<CommandDefinitionImpl>& definition) {
    if (!definition || !definition->valid_) return failInvalid("CommandDefinition::execute");
    if (activeCommand_) cancelCommand();
    auto command = make<CommandImpl>(definition);
    activeCommand_ = command;
    definition->commandCreated_->fire(make<core::CommandCreatedEventArgs>(command));
    if (activeCommand_ != command) return true;
    if (command->inputs()->count() == 0) {
        // Nothing to ask the user: the host runs the command at once.
        executeAndDestroy(command);
        return true;
    }
    // The dialog opens: the host validates the inputs and shows a preview.
    auto validate = make<core::ValidateInputsEventArgs>(command, command->inputs());
    command->validateInputs_->fire(validate);
    if (activeCommand_ == command && validate->areInputsValid())
        command->executePreview_->fire(make<core::CommandEventArgs>(command));
    return true;
}

void UserInterfaceImpl::inputChanged(const core::Ptr<core::CommandInput>& input) {
    auto command = activeCommand_;
    if (!command) return;
    command->inputChanged_->fire(make<core::InputChangedEventArgs>(command, input, command->inputs()));
    if (activeCommand_ != command) return;
    auto validate = make<core::ValidateInputsEventArgs>(command, command->inputs());
    command->validateInputs_->fire(validate);
    if (activeCommand_ == command && validate->areInputsValid())
        command->executePreview_->fire(make<core::CommandEventArgs>(command));
}

bool UserInterfaceImpl::okCommand() {
    auto command = activeCommand_;
    if (!command) {
        setLastError(core::BadApiCallError, "no command is running");
        return false;
    }
    auto validate = make<core::ValidateInputsEventArgs>(command, command->inputs());
    command->validateInputs_->fire(validate);
    if (activeCommand_ != command) return false;
    if (!validate->areInputsValid()) {
        setLastError(core::BadApiCallError, "the command's inputs are not valid");
        return false;
    }
    executeAndDestroy(command);
    return true;
}

bool UserInterfaceImpl::cancelCommand() {
    auto command = activeCommand_;
    if (!command) {
        setLastError(core::BadApiCallError, "no command is running");
        return false;
    }
    terminate(command);
    return true;
}

void UserInterfaceImpl::executeAndDestroy(const core::Ptr<CommandImpl>& command) {
    command->executed_ = true;
    command->execute_->fire(make<core::CommandEventArgs>(command));
    terminate(command);
}

void UserInterfaceImpl::terminate(const core::Ptr<CommandImpl>& command) {
    if (activeCommand_ == command) activeCommand_.reset();
    if (!command->valid_) return;
    command->destroy_->fire(make<core::CommandEventArgs>(command));
    command->valid_ = false;
}

// ---- palettes and dialogs -----------------------------------------------------

core::Ptr<PaletteImpl> UserInterfaceImpl::findPalette(const std::string& id) const {
    for (auto& palette : palettes_) {
        if (palette->id_ == id) return palette;
    }
    return core::Ptr<PaletteImpl>();
}

void UserInterfaceImpl::removePalette(const PaletteImpl* palette) {
    palettes_.erase(std::remove_if(palettes_.begin(), palettes_.end(),
                                   [palette](const core::Ptr<PaletteImpl>& p) { return p.get() == palette; }),
                    palettes_.end());
}

FileDialogAnswer UserInterfaceImpl::nextFileDialogAnswer() {
    if (fileDialogAnswers_.empty()) return FileDialogAnswer{core::DialogCancel, {}};
    FileDialogAnswer answer = fileDialogAnswers_.front();
    fileDialogAnswers_.pop_front();
    return answer;
}

}  // namespace impl
}  // namespace qrvn
