#include "stratavox/stratavox_open_command.h"

StratavoxOpenSVQCommand::StratavoxOpenSVQCommand(
    std::string commandId, EXMI::CommandInfo commandInfo,
    std::shared_ptr<EXMIImpl::CStratavoxFabriqoConnector> connector_)
    : EXMI::CommandBase(std::move(commandId), std::move(commandInfo)), connector(std::move(connector_)) {}

StratavoxOpenSVQCommand::~StratavoxOpenSVQCommand() = default;

void StratavoxOpenSVQCommand::onExecute() {
    if (connector) connector->openWebApp("");
}
