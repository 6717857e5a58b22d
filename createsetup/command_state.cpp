#include "createsetup/command_state.h"

namespace CreateSetup {

using qrvn::core::Ptr;

void CommandState::setVendor(const std::string& vendorName) {
    vendor = vendorName;
    commandIdBase = "Create" + vendor + "SetupCommand";
    commandName = "Create " + vendor + " Setup";
    commandTooltip = "Creates an additive setup for your specific " + vendor +
                     " 3D printer to help streamline your workflow.\nLets you choose from a range of printers "
                     "then opens the Manufacture workspace with a setup and the selected printer and print "
                     "settings. Automatically adds all components bodies and mesh bodies from the design to a "
                     "manufacturing model, which is used by the additive setup.";
}

Ptr<qrvn::core::Application> CommandState::currentApplication() const {
    return application ? application : qrvn::core::Application::get();
}

Ptr<qrvn::core::UserInterface> CommandState::currentUserInterface() const {
    if (userInterface) return userInterface;
    Ptr<qrvn::core::Application> app = currentApplication();
    return app ? app->userInterface() : nullptr;
}

void CommandState::release() {
    userInterface.reset();
    application.reset();
    printerDropDown.reset();
    printSettingsDropDown.reset();
    printers.clear();
    printSettings.clear();
    createdPanelIds.clear();
}

CommandState& state() {
    static CommandState instance;
    return instance;
}

}  // namespace CreateSetup
