// Scripting the host's user interface: switch workspaces, answer message
// boxes and file dialogs, inspect and rearrange toolbars, press toolbar
// controls and drive the dialog of the running command (pick drop-down
// items, OK, Cancel). UI thread only; all functions need a host with a user
// interface.
#pragma once

#include <string>
#include <vector>

#include "host/core.h"
#include "simhost/impl/ui_records.h"

namespace qrvn {
namespace sim {

// ---- workspaces -----------------------------------------------------------------
// Activates a workspace as the user would; false when it does not exist or
// cannot be entered (manufacturing without an active document).
bool activateWorkspace(const std::string& workspaceId);
std::string activeWorkspaceId();

// ---- message boxes and file dialogs ----------------------------------------------
using MessageBox = impl::MessageBoxRecord;
std::vector<MessageBox> messageBoxes();
void clearMessageBoxes();
// The answer to the next message box (queued; later boxes get the default).
void answerNextMessageBox(core::DialogResults answer);
void setDefaultMessageBoxAnswer(core::DialogResults answer);

using FileDialog = impl::FileDialogRecord;
std::vector<FileDialog> fileDialogs();
// The answer to the next file dialog (queued; without one the user cancels).
void answerNextFileDialog(core::DialogResults answer, const std::vector<std::string>& fileNames = {});

// ---- toolbars --------------------------------------------------------------------
core::Ptr<core::ToolbarTab> findTab(const std::string& tabId);
core::Ptr<core::ToolbarPanel> findPanel(const std::string& panelId);
core::Ptr<core::CommandControl> findControl(const std::string& panelId, const std::string& controlId);
core::Ptr<core::CommandDefinition> findDefinition(const std::string& definitionId);
// Control ids of a panel, in order (empty when the panel does not exist).
std::vector<std::string> controlIds(const std::string& panelId);
std::vector<std::string> definitionIds();
// Panels in which a control with this id exists.
std::vector<std::string> panelsWithControl(const std::string& controlId);
core::Ptr<core::ToolbarTab> addTab(const std::string& workspaceId, const std::string& tabId, const std::string& name);
core::Ptr<core::ToolbarPanel> addPanel(const std::string& tabId, const std::string& panelId, const std::string& name);
bool removeTab(const std::string& tabId);
bool removePanel(const std::string& panelId);

// ---- commands --------------------------------------------------------------------
// Presses the control `controlId` (the first panel that has it, or the
// given panel): the host starts its command. False when there is no such
// valid, visible control in the active workspace.
bool pressControl(const std::string& controlId, const std::string& panelId = "");
// Starts a command by definition id, as a keyboard shortcut would.
bool startCommand(const std::string& definitionId);
// The running command (its dialog open); empty when none.
core::Ptr<core::Command> runningCommand();
std::string runningCommandId();
// Names of a drop-down input's items, and the selected one ("" for none).
std::vector<std::string> dropDownItems(const std::string& inputId);
std::string selectedDropDownItem(const std::string& inputId);
// Selects an item as the user would: inputChanged, validateInputs and
// executePreview follow. False when input or item does not exist.
bool pickDropDownItem(const std::string& inputId, const std::string& itemName);
// OK: validateInputs, then execute and destroy. False when no command runs
// or a handler declared the inputs invalid (the dialog stays open).
bool okCommand();
// Cancel: destroy.
bool cancelCommand();

}  // namespace sim
}  // namespace qrvn
