#include "stratavox/stratavox_machine.h"

#include <exception>

#include "support/log.h"

const char* const StratavoxMachine::kUploadCommandId = "StrataVox Fabriqo";
const char* const StratavoxMachine::kOpenCommandId = "StratavoxOpenSVQCommand";
const char* const StratavoxMachine::kSignOutCommandId = "StratavoxSignoutCommand";
const char* const StratavoxMachine::kPanelId = "StratavoxPanel";

namespace {

EXMI::CommandInfo panelCommand(const std::string& name, const std::string& tooltip, const std::string& resourceFolder) {
    EXMI::CommandInfo info;
    info.name = name;
    info.tooltipImage = "";
    info.tooltip = tooltip;
    info.panelId = StratavoxMachine::kPanelId;
    info.tabId = "AdditiveTab";
    info.panelName = "Stratavox";
    info.resourceFolder = resourceFolder;
    return info;
}

void logFailure(const std::exception& e, const char* source) {
    support::log(std::string("fatal error:") + e.what(), source);
}

}  // namespace

std::string StratavoxMachine::userAgent() {
    return std::string("Fabriqo for Quorvane Kalvix / ") + std::to_string(2) + " / " + __DATE__;
}

EXMI::CommandInfo StratavoxMachine::uploadCommandInfo() {
    return panelCommand("Upload to StrataVox Fabriqo",
                        "Uploads your Design to the StrataVox Fabriqo. Please enter a new project "
                        "name or select an existing project to transfer your additive setup from "
                        "Quorvane Kalvix to StrataVox Fabriqo.",
                        "resources_html/");
}

EXMI::CommandInfo StratavoxMachine::openCommandInfo() {
    return panelCommand("Open StrataVox Fabriqo in Browser", "Opens StrataVox Fabriqo in the system web browser.",
                        "resources_opensvq/");
}

EXMI::CommandInfo StratavoxMachine::signOutCommandInfo() {
    return panelCommand("Sign out from StrataVox Fabriqo", "Signs out the current session of the StrataVox Fabriqo.",
                        "resources_logout/");
}

StratavoxMachine::StratavoxMachine(const std::string& documentUuid, int32_t setupOperationId,
                                   EXMI::MachineDefinition machineDefinition)
    : EXMI::IExtensibleMachine(documentUuid, setupOperationId, std::move(machineDefinition)) {
    asyncHandler = std::make_shared<EXMI::IAsyncHandler>();
    asyncHandler->setUserAgent(userAgent());
    std::weak_ptr<EXMI::IAsyncHandler> handler = asyncHandler;
    wake = std::make_unique<EXMI::WakeEvent>([handler] {
        if (const auto live = handler.lock()) live->processResponses();
    });
    asyncHandler->setWakeup(wake->trigger());
    palette = std::make_shared<StratavoxPalette>(this, kUploadCommandId, uploadCommandInfo(), asyncHandler);
    openCommand = std::make_shared<StratavoxOpenSVQCommand>(kOpenCommandId, openCommandInfo(), palette->getConnector());
    signOutCommand =
        std::make_shared<StratavoxLogoutCommand>(kSignOutCommandId, signOutCommandInfo(), palette->getConnector());
}

StratavoxMachine::~StratavoxMachine() {
    // The commands share the palette's connector, whose listener is the
    // palette: they go first.
    asyncHandler->setWakeup(nullptr);
    wake.reset();
    asyncHandler.reset();
    openCommand.reset();
    signOutCommand.reset();
    palette.reset();
}

void StratavoxMachine::onActivate() {
    try {
        palette->run();
        openCommand->run();
        if (signOutShown) signOutCommand->run();
    } catch (const std::exception& e) {
        logFailure(e, "onactivate");
    }
}

void StratavoxMachine::onDeactivate() {
    try {
        palette->stop();
        openCommand->stop();
        if (signOutShown) signOutCommand->stop();
    } catch (const std::exception& e) {
        logFailure(e, "ondeactivate");
    }
}

void StratavoxMachine::onHeartBeat() {
    try {
        asyncHandler->processResponses();
        const std::shared_ptr<EXMIImpl::CStratavoxFabriqoConnector> connector =
            palette ? palette->getConnector() : nullptr;
        if (connector) connector->refreshTokenIfNeeded();
        if (palette && signOutCommand) {
            const bool signedIn = connector ? connector->isSignedIn() : false;
            if (signedIn != signOutShown) {
                if (signedIn) {
                    signOutCommand->run();
                    signOutShown = true;
                } else {
                    signOutCommand->stop();
                    signOutShown = false;
                }
            }
        }
    } catch (const std::exception& e) {
        logFailure(e, "onheartbeat");
    }
}

std::shared_ptr<EXMI::IExtensibleMachine> makeStratavoxMachine(const std::string& documentUuid, int32_t operationId,
                                                               EXMI::MachineDefinition definition) {
    try {
        return std::make_shared<StratavoxMachine>(documentUuid, operationId, std::move(definition));
    } catch (const std::exception& e) {
        logFailure(e, "makeinstance");
        return nullptr;
    }
}
