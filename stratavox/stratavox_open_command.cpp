#include "stratavox/stratavox_open_command.h"

StratavoxOpenSVQCommand::StratavoxOpenSVQCommand(std::string id, EXMI::CommandInfo commandInfo,
                                                 std::shared_ptr<EXMIImpl::CStratavoxFabriqoConnector> sharedConnector)
    : EXMI::CommandBase(std::move(id), std::move(commandInfo)), connector(std::move(sharedConnector)) {}

StratavoxOpenSVQCommand::~StratavoxOpenSVQCommand() = default;

void StratavoxOpenSVQCommand::onExecute() {
    if (connector) connector->openWebApp("");
}
