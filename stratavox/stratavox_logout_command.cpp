#include "stratavox/stratavox_logout_command.h"

#include "support/log.h"

StratavoxLogoutCommand::StratavoxLogoutCommand(std::string id, EXMI::CommandInfo commandInfo,
                                               std::shared_ptr<EXMIImpl::CStratavoxFabriqoConnector> sharedConnector)
    : EXMI::CommandBase(std::move(id), std::move(commandInfo)), connector(std::move(sharedConnector)) {}

StratavoxLogoutCommand::~StratavoxLogoutCommand() = default;

void StratavoxLogoutCommand::onExecute() {
    if (!connector) return;
    // The remembered sign-in goes first, even when this run never used it.
    connector->signOut();
    support::logAndNotify("Successfully signed out from StrataVox Fabriqo. The sign-in is forgotten on this computer.",
                          "StrataVox Fabriqo", true, 2);
}
