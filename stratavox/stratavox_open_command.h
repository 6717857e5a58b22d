#pragma once
// StratavoxOpenSVQCommand: the toolbar button "Open StrataVox Fabriqo in
// Browser". Shows the cloud web application's library page in the system
// browser; needs no sign-in. Shares the palette's connector (which may be
// empty, then the button does nothing). Host user-interface thread only.

#include <memory>
#include <string>

#include "cloud/stratavox_connector.h"
#include "exmi/command_base.h"

class StratavoxOpenSVQCommand : public EXMI::CommandBase {
public:
    StratavoxOpenSVQCommand(std::string id, EXMI::CommandInfo commandInfo,
                            std::shared_ptr<EXMIImpl::CStratavoxFabriqoConnector> sharedConnector);
    ~StratavoxOpenSVQCommand() override;

    void onExecute() override;

private:
    std::shared_ptr<EXMIImpl::CStratavoxFabriqoConnector> connector;
};
