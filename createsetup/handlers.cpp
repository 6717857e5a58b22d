// The three host event handlers of the command. Each notify is an edge to
// the host: a failure inside it ends with one log line and never reaches the
// host's event dispatch.

#include <exception>
#include <string>

#include "createsetup/command_state.h"
#include "createsetup/create_setup.h"
#include "createsetup/dialog.h"
#include "createsetup/setup_creation.h"
#include "createsetup/toolbar_modes.h"
#include "support/log.h"
#include "support/require.h"

namespace CreateSetup {

using qrvn::core::Ptr;
using support::required;
namespace core = qrvn::core;

namespace {

constexpr char kNoBodies[] = "The Kalvix document does not contain bodies. No additive setup can be created.";

// Runs `body`; a failure becomes the line "Failed " + its text under
// `source`. Returns false after a failure.
template <class Body>
bool guarded(const char* source, Body&& body) {
    try {
        body();
        return true;
    } catch (const std::exception& e) {
        support::log("Failed " + std::string(e.what()), source);
    } catch (...) {
        support::log("Failed unknown exception", source);
    }
    return false;
}

std::string selectedText(const Ptr<core::DropDownCommandInput>& dropDown, const char* failure) {
    Ptr<core::ListItem> item = required(dropDown, failure)->selectedItem();
    return required(item, failure)->name();
}

void execute() {
    CommandState& s = state();
    const std::string printerText = selectedText(s.printerDropDown, "no printer selected");
    const std::string settingName = selectedText(s.printSettingsDropDown, "no print setting selected");

    Ptr<core::Application> app = s.currentApplication();
    Ptr<core::UserInterface> ui = s.currentUserInterface();
    Ptr<qrvn::cam::Setup> setup = createSetup(findCamProduct(app, ui), printerText, settingName);

    if (!setup) {
        if (ui) ui->messageBox(kNoBodies, "", core::OKButtonType, core::NoIconIconType);
        return;
    }
    if (!ui) return;
    Ptr<core::Workspaces> workspaces = ui->workspaces();
    Ptr<core::Workspace> camWorkspace = workspaces ? workspaces->itemById(kCamWorkspaceId) : nullptr;
    if (camWorkspace) camWorkspace->activate();
}

}  // namespace

void CommandCreatedEventHandler::notify(const Ptr<core::CommandCreatedEventArgs>& eventArgs) {
    guarded("CreateSetup::CommandCreatedEventHandler::notify",
            [&] { buildDialog(required(eventArgs, "no event arguments")->command()); });
}

void OnExecuteEventHandler::notify(const Ptr<core::CommandEventArgs>& eventArgs) {
    const bool done = guarded("CreateSetup::OnExecuteEventHandler::notify", [] { execute(); });
    // Let the host know the command did not do its work, rather than
    // reporting an execution that failed as a success.
    if (!done && eventArgs) eventArgs->executeFailed(true);
}

void onValidateInputs::notify(const Ptr<core::ValidateInputsEventArgs>&) {
    // Every input state is accepted; an empty list fails on OK instead.
}

}  // namespace CreateSetup
