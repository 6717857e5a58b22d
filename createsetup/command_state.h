#pragma once
// The Create Setup command's process-wide state, one instance per loaded
// add-in: the vendor and the texts derived from it, the host application and
// user interface kept between registration and removal, the drop-downs of
// the most recently built dialog, the printer and print-setting tables, the
// panels the command created itself, and the three handler objects (which
// must outlive every host event they are added to, hence live here).
// User-interface thread only.

#include <map>
#include <set>
#include <string>

#include "createsetup/create_setup.h"
#include "host/cam.h"
#include "host/core.h"

namespace CreateSetup {

struct CommandState {
    std::string vendor;
    std::string commandIdBase;  // "Create" + vendor + "SetupCommand"
    std::string commandName;    // "Create " + vendor + " Setup"
    std::string commandTooltip;

    qrvn::core::Ptr<qrvn::core::Application> application;
    qrvn::core::Ptr<qrvn::core::UserInterface> userInterface;

    // Each dialog replaces the previous pair.
    qrvn::core::Ptr<qrvn::core::DropDownCommandInput> printerDropDown;
    qrvn::core::Ptr<qrvn::core::DropDownCommandInput> printSettingsDropDown;

    // Display text -> library object. An entry is only added when its text is
    // new, so the first object listed under a text keeps it.
    std::map<std::string, qrvn::core::Ptr<qrvn::cam::Machine>> printers;
    std::map<std::string, qrvn::core::Ptr<qrvn::cam::PrintSetting>> printSettings;

    // Panel ids this command added to the host; only these, and only once
    // they are empty again, are deleted on removal.
    std::set<std::string> createdPanelIds;

    CommandCreatedEventHandler commandCreatedHandler;
    OnExecuteEventHandler executeHandler;
    onValidateInputs validateInputsHandler;

    // Stores the vendor and derives the command's id base, name and tooltip.
    void setVendor(const std::string& vendorName);

    // The kept application, or the running one when none is kept.
    qrvn::core::Ptr<qrvn::core::Application> currentApplication() const;
    // The kept user interface, or the running application's.
    qrvn::core::Ptr<qrvn::core::UserInterface> currentUserInterface() const;

    // Ends the add-in's use of the host: drops the kept host objects, the
    // dialog's drop-downs, the tables and the record of created panels.
    void release();
};

CommandState& state();

}  // namespace CreateSetup
