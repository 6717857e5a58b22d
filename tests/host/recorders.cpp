#include "tests/host/recorders.h"

namespace hosttest {

using namespace qrvn;

HostEventRecorders::HostEventRecorders(EventLog& log) {
    auto app = core::Application::get();
    const std::vector<std::pair<std::string, Ptr<core::DocumentEvent>>> events = {
        {"created", app->documentCreated()},       {"opened", app->documentOpened()},
        {"activating", app->documentActivating()}, {"activated", app->documentActivated()},
        {"deactivating", app->documentDeactivating()}, {"deactivated", app->documentDeactivated()},
        {"closing", app->documentClosing()},       {"closed", app->documentClosed()},
    };
    for (auto& [name, event] : events) {
        auto recorder = std::make_unique<DocumentRecorder>(log, name);
        event->add(recorder.get());
        documents_.emplace_back(event, std::move(recorder));
    }
    if (auto ui = app->userInterface()) {
        const std::vector<std::pair<std::string, Ptr<core::WorkspaceEvent>>> wsEvents = {
            {"wsPreDeactivate", ui->workspacePreDeactivate()},
            {"wsPreActivate", ui->workspacePreActivate()},
            {"wsDeactivated", ui->workspaceDeactivated()},
            {"wsActivated", ui->workspaceActivated()},
        };
        for (auto& [name, event] : wsEvents) {
            auto recorder = std::make_unique<WorkspaceRecorder>(log, name);
            event->add(recorder.get());
            workspaces_.emplace_back(event, std::move(recorder));
        }
    }
}

HostEventRecorders::~HostEventRecorders() {
    for (auto& [event, recorder] : documents_) event->remove(recorder.get());
    for (auto& [event, recorder] : workspaces_) event->remove(recorder.get());
}

SetupRecorders::SetupRecorders(EventLog& log, const Ptr<cam::CAM>& cam) : cam_(cam), change_(log) {
    const std::vector<std::pair<std::string, Ptr<cam::SetupEvent>>> events = {
        {"created", cam->setupCreated()},         {"destroying", cam->setupDestroying()},
        {"activating", cam->setupActivating()},   {"activated", cam->setupActivated()},
        {"deactivating", cam->setupDeactivating()}, {"deactivated", cam->setupDeactivated()},
    };
    for (auto& [name, event] : events) {
        auto recorder = std::make_unique<SetupRecorder>(log, name);
        event->add(recorder.get());
        setups_.emplace_back(event, std::move(recorder));
    }
    cam->setupChanged()->add(&change_);
}

SetupRecorders::~SetupRecorders() {
    for (auto& [event, recorder] : setups_) event->remove(recorder.get());
    cam_->setupChanged()->remove(&change_);
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
