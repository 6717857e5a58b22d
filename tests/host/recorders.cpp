#include "tests/host/recorders.h"

namespace hosttest {

using namespace qrvn;

std::string documentName(const Ptr<core::DocumentEventArgs>& args) {
    return args->document() ? args->document()->name() : "<no document>";
}

HostEventRecorders::HostEventRecorders(EventLog& log) {
    auto app = core::Application::get();
    for (auto& [name, event] :
         std::vector<std::pair<std::string, Ptr<core::DocumentEvent>>>{{"created", app->documentCreated()},
                                                                       {"opened", app->documentOpened()},
                                                                       {"activating", app->documentActivating()},
                                                                       {"activated", app->documentActivated()},
                                                                       {"deactivating", app->documentDeactivating()},
                                                                       {"deactivated", app->documentDeactivated()},
                                                                       {"closing", app->documentClosing()},
                                                                       {"closed", app->documentClosed()}}) {
        add(log, event, name, documentName);
    }
    auto ui = app->userInterface();
    if (!ui) return;
    auto workspaceId = [](const Ptr<core::WorkspaceEventArgs>& args) {
        return args->workspace() ? args->workspace()->id() : "<no workspace>";
    };
    for (auto& [name, event] : std::vector<std::pair<std::string, Ptr<core::WorkspaceEvent>>>{
             {"wsPreDeactivate", ui->workspacePreDeactivate()},
             {"wsPreActivate", ui->workspacePreActivate()},
             {"wsDeactivated", ui->workspaceDeactivated()},
             {"wsActivated", ui->workspaceActivated()}}) {
        add(log, event, name, workspaceId);
    }
}

sim::MachineSpec printer(const std::string& id, const std::string& name, const std::string& vendor,
                         const std::string& model) {
    sim::MachineSpec spec;
    spec.id = id;
    spec.name = name;
    spec.vendor = vendor;
    spec.model = model;
    return spec;
}

Ptr<cam::CAM> camOf(const Ptr<core::Document>& document) {
    if (!document) return Ptr<cam::CAM>();
    return document->products()->itemByProductType("CAMProductType").query<cam::CAM>();
}

}  // namespace hosttest
