#include "stratavox/stratavox_logout_command.h"

#include "support/log.h"

StratavoxLogoutCommand::StratavoxLogoutCommand(std::string id, EXMI::CommandInfo commandInfo,
                                               std::shared_ptr<EXMIImpl::CStratavoxFabriqoConnector> sharedConnector)
    : EXMI::CommandBase(std::move(id), std::move(commandInfo)), connector(std::move(sharedConnector)) {}

StratavoxLogoutCommand::~StratavoxLogoutCommand() = default;

void StratavoxLogoutCommand::onExecute() {
    if (!connector) return;
    if (connector->isSignedIn()) connector->signOut();
    support::logAndNotify("Successfully signed out from StrataVox Fabriqo.", "StrataVox Fabriqo", true, 2);
}
