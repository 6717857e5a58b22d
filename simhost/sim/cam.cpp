#include "simhost/sim/cam.h"

#include <stdexcept>

#include "simhost/impl/application_impl.h"
#include "simhost/impl/cam_impl.h"
#include "simhost/impl/design_impl.h"
#include "simhost/impl/document_impl.h"
#include "simhost/impl/exports.h"
#include "simhost/impl/host_state.h"
#include "simhost/impl/libraries_impl.h"

namespace qrvn {
namespace sim {

namespace {

core::Ptr<impl::CAMManagerImpl> manager() {
    auto app = impl::HostState::instance().application();
    if (!app) throw std::logic_error("sim: the host has no application");
    return app->camManager();
}

core::Ptr<impl::DocumentImpl> implOf(const core::Ptr<core::Document>& document) {
    if (!document) throw std::invalid_argument("sim: no document");
    return core::Ptr<impl::DocumentImpl>(std::static_pointer_cast<impl::DocumentImpl>(document.shared()));
}

}  // namespace

core::Ptr<cam::Machine> addMachine(const MachineSpec& spec) {
    auto machine = core::Ptr<impl::MachineImpl>(std::make_shared<impl::MachineImpl>());
    machine->id_ = spec.id;
    machine->name_ = spec.name;
    machine->vendor_ = spec.vendor;
    machine->model_ = spec.model;
    machine->description_ = spec.description;
    machine->hasTechnology_ = spec.hasTechnology;
    machine->technology_ = spec.technology;
    machine->postProcessor_ = spec.postProcessor;
    machine->hasScriptedDescriptionXml_ = spec.hasDescriptionXml;
    machine->scriptedDescriptionXml_ = spec.descriptionXml;
    manager()->contents_->machines.push_back({spec.location, machine});
    return machine;
}

core::Ptr<cam::PrintSetting> addPrintSetting(const PrintSettingSpec& spec) {
    auto setting = core::Ptr<impl::PrintSettingImpl>(std::make_shared<impl::PrintSettingImpl>());
    setting->id_ = spec.id;
    setting->name_ = spec.name;
    setting->vendor_ = spec.vendor;
    setting->technology_ = spec.technology;
    setting->description_ = spec.description;
    manager()->contents_->printSettings.push_back({spec.location, setting});
    return setting;
}

void clearLibraries() {
    manager()->contents_->machines.clear();
    manager()->contents_->printSettings.clear();
}

void setSystemPostFolder(const std::string& folder) { manager()->systemPostFolder_ = folder; }

core::Ptr<cam::CAM> ensureCamProduct(const core::Ptr<core::Document>& document) {
    return implOf(document)->ensureCam();
}

core::Ptr<cam::Setup> addSetup(const core::Ptr<core::Document>& document, const std::string& name,
                               const core::Ptr<cam::Machine>& machine,
                               const core::Ptr<cam::PrintSetting>& printSetting) {
    auto cam = implOf(document)->ensureCam();
    if (cam->models_.empty()) cam->addManufacturingModel("Manufacturing Model");
    std::vector<core::Ptr<core::Base>> models{cam->models_.front()->occurrence_};
    return cam->addSetup(name, cam::AdditiveOperation, machine, printSetting, models);
}

void setToolpathValid(const core::Ptr<cam::Setup>& setup, bool valid) {
    if (!setup) throw std::invalid_argument("sim: no setup");
    std::static_pointer_cast<impl::SetupImpl>(setup.shared())->toolpathValid_ = valid;
}

std::vector<WrittenFile> writtenFiles() { return impl::writtenFiles(); }

}  // namespace sim
}  // namespace qrvn
