#pragma once
// StratavoxMachine: the vendor's machine instance, one per CAM setup whose
// machine the vendor serves. It owns what the user sees of the cloud
// service for that setup: a request handler of its own, the upload palette
// (with the connector, so sign-in state belongs to one setup) and the
// open-in-browser and sign-out commands. While active its buttons are in
// the toolbar; finished network responses are delivered as soon as their
// worker wakes the UI thread (and at the latest by the heartbeat), which also
// keeps the token fresh and shows the sign-out button only while signed in.
// Host user-interface thread only (lifecycle, commands, heartbeat).

#include <cstdint>
#include <memory>
#include <string>

#include "exmi/extensible_machine.h"
#include "exmi/machine_definition.h"
#include "exmi/wake_event.h"
#include "net/async_handler.h"
#include "stratavox/stratavox_logout_command.h"
#include "stratavox/stratavox_open_command.h"
#include "stratavox/stratavox_palette.h"

class StratavoxMachine : public EXMI::IExtensibleMachine {
public:
    static const char* const kUploadCommandId;   // "StrataVox Fabriqo"
    static const char* const kOpenCommandId;     // "StratavoxOpenSVQCommand"
    static const char* const kSignOutCommandId;  // "StratavoxSignoutCommand"
    static const char* const kPanelId;           // "StratavoxPanel"

    // Throws when the host refuses a command (no user interface).
    StratavoxMachine(const std::string& documentUuid, int32_t setupOperationId,
                     EXMI::MachineDefinition machineDefinition);
    ~StratavoxMachine() override;

    void onHeartBeat() override;
    void onActivate() override;
    void onDeactivate() override;

    // The user agent of every request: product, version and build date.
    static std::string userAgent();
    static EXMI::CommandInfo uploadCommandInfo();
    static EXMI::CommandInfo openCommandInfo();
    static EXMI::CommandInfo signOutCommandInfo();

    const std::shared_ptr<StratavoxPalette>& getPalette() const { return palette; }
    const std::shared_ptr<EXMI::IAsyncHandler>& getAsyncHandler() const { return asyncHandler; }
    bool isSignOutShown() const { return signOutShown; }

private:
    std::shared_ptr<StratavoxPalette> palette;
    std::shared_ptr<StratavoxLogoutCommand> signOutCommand;
    std::shared_ptr<StratavoxOpenSVQCommand> openCommand;
    bool signOutShown = false;
    std::shared_ptr<EXMI::IAsyncHandler> asyncHandler;
    std::unique_ptr<EXMI::WakeEvent> wake;
};

// The factory of the vendor's machine definition. A machine that cannot be
// built is logged ("makeinstance") and none is returned.
std::shared_ptr<EXMI::IExtensibleMachine> makeStratavoxMachine(const std::string& documentUuid, int32_t operationId,
                                                               EXMI::MachineDefinition definition);
