// UserInterfaceImpl: the simulated user interface. Owns the command
// registry, the workspaces (with their toolbars), the palettes, the running
// command and the four workspace events; records every message box and file
// dialog and answers them with scripted results. Switching workspaces
// follows the order documented in host/core/workspaces.h.
// User-interface thread only.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/core/user_interface.h"
#include "host/core/workspaces.h"
#include "simhost/impl/ui_records.h"

namespace qrvn {
namespace impl {

class ApplicationImpl;
class DocumentImpl;
class WorkspaceImpl;
class ToolbarTabImpl;
class ToolbarPanelImpl;
class CommandDefinitionImpl;
class CommandImpl;
class PaletteImpl;

struct FileDialogAnswer {
    core::DialogResults result;
    std::vector<std::string> fileNames;
};

class UserInterfaceImpl : public core::UserInterface {
public:
    static core::Ptr<UserInterfaceImpl> create(std::weak_ptr<ApplicationImpl> application);
    UserInterfaceImpl();

    core::DialogResults messageBox(const std::string& text, const std::string& title,
                                   core::MessageBoxButtonTypes buttons, core::MessageBoxIconTypes icon) override;
    core::Ptr<core::CommandDefinitions> commandDefinitions() override;
    core::Ptr<core::ToolbarPanelList> allToolbarPanels() override;
    core::Ptr<core::ToolbarTabList> allToolbarTabs() override;
    core::Ptr<core::Workspaces> workspaces() override;
    core::Ptr<core::Workspace> activeWorkspace() override;
    core::Ptr<core::Command> activeCommand() override;
    core::Ptr<core::Palettes> palettes() override;
    core::Ptr<core::FileDialog> createFileDialog() override;
    core::Ptr<core::WorkspaceEvent> workspaceActivated() override { return workspaceActivated_; }
    core::Ptr<core::WorkspaceEvent> workspaceDeactivated() override { return workspaceDeactivated_; }
    core::Ptr<core::WorkspaceEvent> workspacePreActivate() override { return workspacePreActivate_; }
    core::Ptr<core::WorkspaceEvent> workspacePreDeactivate() override { return workspacePreDeactivate_; }

    // ---- host side ----
    core::Ptr<ApplicationImpl> application() const;

    core::Ptr<WorkspaceImpl> findWorkspace(const std::string& id) const;
    core::Ptr<ToolbarTabImpl> findTab(const std::string& id) const;
    core::Ptr<ToolbarPanelImpl> findPanel(const std::string& id) const;
    std::vector<core::Ptr<ToolbarTabImpl>> allTabs() const;
    std::vector<core::Ptr<ToolbarPanelImpl>> allPanels() const;
    core::Ptr<WorkspaceImpl> addWorkspace(const std::string& id, const std::string& name,
                                          const std::string& productType);

    bool activateWorkspace(const core::Ptr<WorkspaceImpl>& workspace);
    // Shows the workspace a document was last shown in (on activation).
    void showWorkspace(const std::string& id);

    core::Ptr<CommandDefinitionImpl> findDefinition(const std::string& id) const;
    core::Ptr<CommandDefinitionImpl> addDefinition(const std::string& id, const std::string& name,
                                                   const std::string& tooltip, const std::string& resourceFolder);
    void removeDefinition(const core::Ptr<CommandDefinitionImpl>& definition);

    // Command flow (see host/core/commands.h).
    bool startCommand(const core::Ptr<CommandDefinitionImpl>& definition);
    // OK: validateInputs, then execute and destroy. False when the inputs
    // were declared invalid (the dialog stays open) or no command runs.
    bool okCommand();
    bool cancelCommand();
    // Fires inputChanged, validateInputs and, when valid, executePreview.
    void inputChanged(const core::Ptr<core::CommandInput>& input);
    core::Ptr<CommandImpl> runningCommand() const { return activeCommand_; }

    core::Ptr<PaletteImpl> findPalette(const std::string& id) const;
    void removePalette(const PaletteImpl* palette);

    FileDialogAnswer nextFileDialogAnswer();
    void recordFileDialog(const FileDialogRecord& record) { fileDialogs_.push_back(record); }

    std::weak_ptr<ApplicationImpl> application_;
    std::vector<core::Ptr<WorkspaceImpl>> workspaces_;
    core::Ptr<WorkspaceImpl> activeWorkspace_;
    std::vector<core::Ptr<CommandDefinitionImpl>> definitions_;
    std::vector<core::Ptr<PaletteImpl>> palettes_;
    core::Ptr<CommandImpl> activeCommand_;

    std::vector<MessageBoxRecord> messageBoxes_;
    std::deque<core::DialogResults> messageBoxAnswers_;
    core::DialogResults defaultMessageBoxAnswer_ = core::DialogOK;
    std::vector<FileDialogRecord> fileDialogs_;
    std::deque<FileDialogAnswer> fileDialogAnswers_;

private:
    void executeAndDestroy(const core::Ptr<CommandImpl>& command);
    void terminate(const core::Ptr<CommandImpl>& command);
    void buildDefaultLayout();

    core::Ptr<core::WorkspaceEvent> workspaceActivated_, workspaceDeactivated_, workspacePreActivate_,
        workspacePreDeactivate_;
};

class WorkspaceImpl : public core::Workspace {
public:
    WorkspaceImpl(std::string id, std::string name, std::string productType)
        : id_(std::move(id)), name_(std::move(name)), productType_(std::move(productType)) {}
    std::string id() override { return id_; }
    std::string name() override { return name_; }
    std::string productType() override { return productType_; }
    bool isActive() override;
    bool activate() override;
    core::Ptr<core::ToolbarTabs> toolbarTabs() override;
    core::Ptr<core::ToolbarPanels> toolbarPanels() override;

    std::string id_, name_, productType_;
    std::weak_ptr<UserInterfaceImpl> ui_;
    std::vector<core::Ptr<ToolbarTabImpl>> tabs_;
    core::Ptr<ToolbarTabImpl> activeTab_;
};

}  // namespace impl
}  // namespace qrvn
