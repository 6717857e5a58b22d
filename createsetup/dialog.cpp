#include "createsetup/dialog.h"

#include <string>
#include <vector>

#include "createsetup/command_state.h"
#include "createsetup/toolbar_modes.h"
#include "host/cam.h"
#include "support/require.h"

namespace CreateSetup {

using qrvn::core::Ptr;
using support::required;
namespace core = qrvn::core;
namespace cam = qrvn::cam;

namespace {

constexpr char kBowdenTube[] = "Bowden Tube";

// Re-activates the workspace the user was in, however filling ends; the
// libraries are only reachable from the manufacturing workspace, but the
// dialog belongs to the design workspace.
class RestoreWorkspace {
public:
    explicit RestoreWorkspace(Ptr<core::Workspace> previous) : workspace(std::move(previous)) {}
    ~RestoreWorkspace() {
        if (!workspace) return;
        try {
            workspace->activate();
        } catch (...) {
            // Nothing sensible is left to do; the caller's failure (if any) wins.
        }
    }
    RestoreWorkspace(const RestoreWorkspace&) = delete;
    RestoreWorkspace& operator=(const RestoreWorkspace&) = delete;

private:
    Ptr<core::Workspace> workspace;
};

void addItem(const Ptr<core::ListItems>& items, const std::string& text) {
    const bool first = items->count() == 0;
    required(items->add(text, first, "", -1), "could not add a list item");
}

void fillPrinters(CommandState& s, const Ptr<cam::CAMLibraryManager>& libraries, const Ptr<core::ListItems>& items) {
    Ptr<cam::MachineLibrary> library = required(libraries->machineLibrary(), "no machine library");
    Ptr<cam::MachineQuery> query =
        required(library->createQuery(cam::HostLibraryLocation, s.vendor, ""), "no machine query");
    for (const Ptr<cam::Machine>& machine : query->execute()) {
        required(machine, "no machine");
        const std::string text = machine->name();
        addItem(items, text);
        s.printers.emplace(text, machine);  // keeps the first machine listed under a text
    }
}

void fillPrintSettings(CommandState& s, const Ptr<cam::CAMLibraryManager>& libraries,
                       const Ptr<core::ListItems>& items) {
    Ptr<cam::PrintSettingLibrary> library = required(libraries->printSettingLibrary(), "no print setting library");

    Ptr<cam::PrintSettingQuery> byVendor =
        required(library->createQuery(cam::HostLibraryLocation), "no print setting query");
    byVendor->vendor(s.vendor);
    std::vector<Ptr<cam::PrintSetting>> settings = byVendor->execute();

    // Generic FFF settings for Bowden-tube printers suit the vendor's
    // printers too; they are offered after the vendor's own.
    Ptr<cam::PrintSettingQuery> fff =
        required(library->createQuery(cam::HostLibraryLocation), "no print setting query");
    fff->technology("FFF");
    for (const Ptr<cam::PrintSetting>& setting : fff->execute()) {
        if (required(setting, "no print setting")->name().find(kBowdenTube) != std::string::npos) {
            settings.push_back(setting);
        }
    }

    for (const Ptr<cam::PrintSetting>& setting : settings) {
        required(setting, "no print setting");
        const std::string name = setting->name();
        s.printSettings.emplace(name, setting);
        addItem(items, name);
    }
}

void fillLists(CommandState& s, const Ptr<core::ListItems>& printerItems, const Ptr<core::ListItems>& settingItems) {
    Ptr<core::UserInterface> ui = required(s.currentUserInterface(), "no user interface");
    Ptr<core::Workspace> previous = ui->activeWorkspace();
    Ptr<core::Workspaces> workspaces = ui->workspaces();
    Ptr<core::Workspace> camWorkspace = workspaces ? workspaces->itemById(kCamWorkspaceId) : nullptr;
    if (!camWorkspace) return;

    RestoreWorkspace restore(previous);
    camWorkspace->activate();

    Ptr<cam::CAMManager> manager = required(cam::CAMManager::get(), "no CAM manager");
    Ptr<cam::CAMLibraryManager> libraries = required(manager->libraryManager(), "no CAM library manager");
    fillPrinters(s, libraries, printerItems);
    fillPrintSettings(s, libraries, settingItems);
}

}  // namespace

void buildDialog(const Ptr<core::Command>& command) {
    CommandState& s = state();
    // A dialog that cannot be built must not leave OK reading the last one's.
    s.printerDropDown.reset();
    s.printSettingsDropDown.reset();
    required(command, "no command");
    required(command->validateInputs(), "no validateInputs event")->add(&s.validateInputsHandler);
    required(command->execute(), "no execute event")->add(&s.executeHandler);

    Ptr<core::CommandInputs> inputs = required(command->commandInputs(), "no command inputs");
    Ptr<core::TabCommandInput> tab =
        required(inputs->addTabCommandInput("tab_1", "Select Printer", ""), "no tab input");
    Ptr<core::CommandInputs> children = required(tab->children(), "no tab inputs");

    s.printerDropDown =
        required(children->addDropDownCommandInput(s.vendor + "PrinterSelection", s.vendor + " Printer Selection",
                                                   core::TextListDropDownStyle),
                 "no printer drop-down");
    Ptr<core::ListItems> printerItems = s.printerDropDown->listItems();
    if (!printerItems) return;

    s.printSettingsDropDown =
        required(children->addDropDownCommandInput(s.vendor + "PrintSettingsSelection",
                                                   s.vendor + " Print Settings Selection", core::TextListDropDownStyle),
                 "no print settings drop-down");
    Ptr<core::ListItems> settingItems = s.printSettingsDropDown->listItems();
    if (!settingItems) return;

    Ptr<core::Application> app = s.currentApplication();
    if (!app || !app->activeDocument()) return;
    fillLists(s, printerItems, settingItems);
}

}  // namespace CreateSetup
