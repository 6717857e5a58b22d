#include "createsetup/dialog.h"

#include <string>
#include <vector>

#include "createsetup/command_state.h"
#include "createsetup/require.h"
#include "createsetup/toolbar_modes.h"
#include "host/cam.h"

namespace CreateSetup {

using qrvn::core::Ptr;
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
  require(items->add(text, first, "", -1), "could not add a list item");
}

void fillPrinters(CommandState& s, const Ptr<cam::CAMLibraryManager>& libraries,
                  const Ptr<core::ListItems>& items) {
  Ptr<cam::MachineLibrary> library = require(libraries->machineLibrary(), "no machine library");
  Ptr<cam::MachineQuery> query =
      require(library->createQuery(cam::HostLibraryLocation, s.vendor, ""), "no machine query");
  for (const Ptr<cam::Machine>& machine : query->execute()) {
    require(machine, "no machine");
    const std::string text = machine->name();
    addItem(items, text);
    s.printers.emplace(text, machine);  // keeps the first machine listed under a text
  }
}

void fillPrintSettings(CommandState& s, const Ptr<cam::CAMLibraryManager>& libraries,
                       const Ptr<core::ListItems>& items) {
  Ptr<cam::PrintSettingLibrary> library =
      require(libraries->printSettingLibrary(), "no print setting library");

  Ptr<cam::PrintSettingQuery> byVendor =
      require(library->createQuery(cam::HostLibraryLocation), "no print setting query");
  byVendor->vendor(s.vendor);
  std::vector<Ptr<cam::PrintSetting>> settings = byVendor->execute();

  // Generic FFF settings for Bowden-tube printers suit the vendor's
  // printers too; they are offered after the vendor's own.
  Ptr<cam::PrintSettingQuery> fff =
      require(library->createQuery(cam::HostLibraryLocation), "no print setting query");
  fff->technology("FFF");
  for (const Ptr<cam::PrintSetting>& setting : fff->execute()) {
    if (require(setting, "no print setting")->name().find(kBowdenTube) != std::string::npos) {
      settings.push_back(setting);
    }
  }

  for (const Ptr<cam::PrintSetting>& setting : settings) {
    require(setting, "no print setting");
    const std::string name = setting->name();
    s.printSettings.emplace(name, setting);
    addItem(items, name);
  }
}

void fillLists(CommandState& s, const Ptr<core::ListItems>& printerItems,
               const Ptr<core::ListItems>& settingItems) {
  Ptr<core::UserInterface> ui = require(s.currentUserInterface(), "no user interface");
  Ptr<core::Workspace> previous = ui->activeWorkspace();
  Ptr<core::Workspaces> workspaces = ui->workspaces();
  Ptr<core::Workspace> camWorkspace = workspaces ? workspaces->itemById(kCamWorkspaceId) : nullptr;
  if (!camWorkspace) return;

  RestoreWorkspace restore(previous);
  camWorkspace->activate();

  Ptr<cam::CAMManager> manager = require(cam::CAMManager::get(), "no CAM manager");
  Ptr<cam::CAMLibraryManager> libraries =
      require(manager->libraryManager(), "no CAM library manager");
  fillPrinters(s, libraries, printerItems);
  fillPrintSettings(s, libraries, settingItems);
}

}  // namespace

void buildDialog(const Ptr<core::Command>& command) {
  CommandState& s = state();
  // A dialog that cannot be built must not leave OK reading the last one's.
  s.printerDropDown.reset();
  s.printSettingsDropDown.reset();
  require(command, "no command");
  require(command->validateInputs(), "no validateInputs event")->add(&s.validateInputsHandler);
  require(command->execute(), "no execute event")->add(&s.executeHandler);

  Ptr<core::CommandInputs> inputs = require(command->commandInputs(), "no command inputs");
  Ptr<core::TabCommandInput> tab =
      require(inputs->addTabCommandInput("tab_1", "Select Printer", ""), "no tab input");
  Ptr<core::CommandInputs> children = require(tab->children(), "no tab inputs");

  s.printerDropDown =
      require(children->addDropDownCommandInput(s.vendor + "PrinterSelection",
                                                s.vendor + " Printer Selection",
                                                core::TextListDropDownStyle),
              "no printer drop-down");
  Ptr<core::ListItems> printerItems = s.printerDropDown->listItems();
  if (!printerItems) return;

  s.printSettingsDropDown =
      require(children->addDropDownCommandInput(s.vendor + "PrintSettingsSelection",
                                                s.vendor + " Print Settings Selection",
                                                core::TextListDropDownStyle),
              "no print settings drop-down");
  Ptr<core::ListItems> settingItems = s.printSettingsDropDown->listItems();
  if (!settingItems) return;

  Ptr<core::Application> app = s.currentApplication();
  if (!app || !app->activeDocument()) return;
  fillLists(s, printerItems, settingItems);
}

}  // namespace CreateSetup
