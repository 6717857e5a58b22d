#pragma once
// StratavoxLogoutCommand: the toolbar button "Sign out from StrataVox
// Fabriqo". Forgets the connector's tokens, the one kept in the system's
// credential store first (which closes the palette when there was a
// sign-in), and confirms the sign-out to the user, signed in or not. Shares the palette's
// connector (which may be empty, then the button does nothing). Host
// user-interface thread only.

#include <memory>
#include <string>

#include "cloud/stratavox_connector.h"
#include "exmi/command_base.h"

class StratavoxLogoutCommand : public EXMI::CommandBase {
public:
    StratavoxLogoutCommand(std::string id, EXMI::CommandInfo commandInfo,
                           std::shared_ptr<EXMIImpl::CStratavoxFabriqoConnector> sharedConnector);
    ~StratavoxLogoutCommand() override;

    void onExecute() override;

private:
    std::shared_ptr<EXMIImpl::CStratavoxFabriqoConnector> connector;
};
