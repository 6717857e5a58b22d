// Registration and removal of the command's definitions, panels and
// controls in the design workspace's toolbar modes.

#include "createsetup/create_setup.h"

#include <exception>
#include <stdexcept>
#include <string>

#include "createsetup/command_state.h"
#include "createsetup/toolbar_modes.h"
#include "support/log.h"
#include "support/require.h"

namespace CreateSetup {

using qrvn::core::Ptr;
using support::required;
namespace core = qrvn::core;

namespace {

// Puts the command into one mode. False when registration has to end here
// (the remaining modes are skipped); a mode without its tab is not an end.
bool registerMode(CommandState& s, const ToolbarMode& mode) {
    const std::string definitionId = s.commandIdBase + mode.name;

    Ptr<core::CommandDefinitions> definitions = s.userInterface->commandDefinitions();
    if (!definitions) return false;
    Ptr<core::CommandDefinition> definition = definitions->itemById(definitionId);
    if (!definition) {
        definition = definitions->addButtonDefinition(definitionId, s.commandName, s.commandTooltip, kResourceFolder);
    }
    if (!definition) {
        // The host knows best why it refused; show its own words.
        std::string reason;
        if (s.application) s.application->getLastError(&reason);
        s.userInterface->messageBox(reason, "", core::OKButtonType, core::NoIconIconType);
        return false;
    }

    Ptr<core::CommandCreatedEvent> created = definition->commandCreated();
    if (!created) return false;
    created->add(&s.commandCreatedHandler);  // false when already added: fine

    Ptr<core::Workspaces> workspaces = s.userInterface->workspaces();
    if (!workspaces) return false;
    Ptr<core::Workspace> design = workspaces->itemById(kDesignWorkspaceId);
    if (!design) return false;
    Ptr<core::ToolbarTabs> tabs = design->toolbarTabs();
    if (!tabs) return false;

    Ptr<core::ToolbarTab> tab = tabs->itemById(mode.tabId);
    if (!tab) return true;

    Ptr<core::ToolbarPanels> panels = required(tab->toolbarPanels(), "no toolbar panels");
    Ptr<core::ToolbarPanel> panel = panels->itemById(mode.panelId);
    if (!panel) {
        panel = panels->add(mode.panelId, kCreatedPanelName, "", true);
        if (!panel) return false;
        s.createdPanelIds.insert(mode.panelId);
    }

    Ptr<core::ToolbarControls> controls = panel->controls();
    if (!controls) return false;
    Ptr<core::CommandControl> control = controls->itemById(definitionId).query<core::CommandControl>();

    if (!tab->isActive()) tab->activate();
    if (!control) {
        control = required(controls->addCommand(definition, definitionId, true), "could not add the command control");
        control->isPromotedByDefault(true);
        control->isPromoted(true);
        control->isVisible(true);
    }
    return true;
}

// Takes the command's control out of one mode's panel, and the panel too
// when the command created it and nothing else is left in it. A mode whose
// tab, panel or control is gone has nothing to remove.
void removeControl(CommandState& s, const Ptr<core::ToolbarTabs>& tabs, const ToolbarMode& mode,
                   const std::string& definitionId) {
    Ptr<core::ToolbarTab> tab = tabs->itemById(mode.tabId);
    if (!tab) return;
    Ptr<core::ToolbarPanels> panels = required(tab->toolbarPanels(), "no toolbar panels");
    Ptr<core::ToolbarPanel> panel = panels->itemById(mode.panelId);
    if (!panel) return;
    Ptr<core::ToolbarControls> controls = required(panel->controls(), "no toolbar controls");
    Ptr<core::ToolbarControl> control = controls->itemById(definitionId);
    if (!control) return;
    control->deleteMe();

    // A panel the host had before belongs to the host, and deleting a panel
    // takes every control in it along: only our own panel goes, and only
    // when no one else has put a control into it meanwhile.
    if (s.createdPanelIds.count(mode.panelId) == 0) return;
    Ptr<core::ToolbarControls> remaining = panel->controls();
    if (remaining && remaining->count() == 0) {
        panel->deleteMe();
        s.createdPanelIds.erase(mode.panelId);
    }
}

void registerUnguarded(const std::string& vendor) {
    CommandState& s = state();
    s.setVendor(vendor);
    s.application = core::Application::get();
    s.userInterface = s.application ? s.application->userInterface() : nullptr;
    if (!s.userInterface) return;

    for (const ToolbarMode& mode : kToolbarModes) {
        if (!registerMode(s, mode)) return;
    }
}

// Releases the kept host objects however removal ends.
class ReleaseOnExit {
public:
    explicit ReleaseOnExit(CommandState& s) : state(s) {}
    ~ReleaseOnExit() { state.release(); }
    ReleaseOnExit(const ReleaseOnExit&) = delete;
    ReleaseOnExit& operator=(const ReleaseOnExit&) = delete;

private:
    CommandState& state;
};

constexpr char kUnregisterSource[] = "CreateSetup::unregisterCommand";

void unregisterUnguarded(const std::string& vendor) {
    CommandState& s = state();
    s.setVendor(vendor);
    ReleaseOnExit release(s);
    if (!s.userInterface) return;

    Ptr<core::Workspaces> workspaces = required(s.userInterface->workspaces(), "no workspaces");
    Ptr<core::Workspace> design = workspaces->itemById(kDesignWorkspaceId);
    Ptr<core::ToolbarTabs> tabs = design ? design->toolbarTabs() : nullptr;

    for (const ToolbarMode& mode : kToolbarModes) {
        const std::string definitionId = s.commandIdBase + mode.name;
        if (tabs) {
            // One mode's trouble must not leave the other modes' buttons and the
            // definitions behind.
            try {
                removeControl(s, tabs, mode, definitionId);
            } catch (const std::exception& e) {
                support::log("Failed " + std::string(e.what()), kUnregisterSource);
            }
        }
        Ptr<core::CommandDefinitions> definitions =
            required(s.userInterface->commandDefinitions(), "no command definitions");
        Ptr<core::CommandDefinition> definition = definitions->itemById(definitionId);
        if (definition) definition->deleteMe();
    }
}

}  // namespace

void registerCommand(const std::string& vendor) {
    try {
        registerUnguarded(vendor);
    } catch (const std::exception& e) {
        support::log("Failed " + std::string(e.what()), "CreateSetup::registerCommand");
    } catch (...) {
        support::log("Failed unknown exception", "CreateSetup::registerCommand");
    }
}

void unregisterCommand(const std::string& vendor) {
    try {
        unregisterUnguarded(vendor);
    } catch (const std::exception& e) {
        support::log("Failed " + std::string(e.what()), kUnregisterSource);
    } catch (...) {
        support::log("Failed unknown exception", kUnregisterSource);
    }
}

}  // namespace CreateSetup
