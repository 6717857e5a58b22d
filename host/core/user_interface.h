// UserInterface: the host's user interface (absent when the host runs
// without one). Owns the command registry, the toolbars, the workspaces, the
// palettes and the dialogs. User-interface thread only.
#pragma once

#include <string>

#include "host/core/base.h"
#include "host/core/event_types.h"

namespace qrvn {
namespace core {

class CommandDefinitions;
class ToolbarPanelList;
class ToolbarTabList;
class Workspaces;
class Workspace;
class Palettes;
class FileDialog;
class Command;

enum MessageBoxButtonTypes {
    OKButtonType = 0,
    OKCancelButtonType = 1,
    RetryCancelButtonType = 2,
    YesNoButtonType = 3,
    YesNoCancelButtonType = 4,
};

enum MessageBoxIconTypes {
    NoIconIconType = 0,
    QuestionIconType = 1,
    InformationIconType = 2,
    WarningIconType = 3,
    CriticalIconType = 4,
};

enum DialogResults {
    DialogError = -1,
    DialogOK = 0,
    DialogCancel = 1,
    DialogNo = 2,
    DialogYes = 3,
    DialogRetry = 4,
};

class QRVN_API UserInterface : public Base {
    QRVN_CLASS_TYPE(Base, "qrvn::core::UserInterface")
public:
    // Shows a modal message box and returns the button the user pressed.
    virtual DialogResults messageBox(const std::string& text, const std::string& title = "",
                                     MessageBoxButtonTypes buttons = OKButtonType,
                                     MessageBoxIconTypes icon = NoIconIconType) = 0;

    virtual Ptr<CommandDefinitions> commandDefinitions() = 0;
    // Every toolbar panel / tab of every workspace.
    virtual Ptr<ToolbarPanelList> allToolbarPanels() = 0;
    virtual Ptr<ToolbarTabList> allToolbarTabs() = 0;

    virtual Ptr<Workspaces> workspaces() = 0;
    virtual Ptr<Workspace> activeWorkspace() = 0;
    // The command that is running (its dialog open); empty when none.
    virtual Ptr<Command> activeCommand() = 0;

    virtual Ptr<Palettes> palettes() = 0;
    virtual Ptr<FileDialog> createFileDialog() = 0;

    virtual Ptr<WorkspaceEvent> workspaceActivated() = 0;
    virtual Ptr<WorkspaceEvent> workspaceDeactivated() = 0;
    virtual Ptr<WorkspaceEvent> workspacePreActivate() = 0;
    virtual Ptr<WorkspaceEvent> workspacePreDeactivate() = 0;
};

}  // namespace core
}  // namespace qrvn
