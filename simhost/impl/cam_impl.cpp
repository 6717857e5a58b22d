#include "simhost/impl/cam_impl.h"

#include <algorithm>

#include "host/cam/post_process.h"
#include "simhost/impl/application_impl.h"
#include "simhost/impl/common.h"
#include "simhost/impl/design_impl.h"
#include "simhost/impl/document_impl.h"
#include "simhost/impl/exports.h"
#include "simhost/impl/libraries_impl.h"

namespace qrvn {
namespace impl {

namespace {

class SetupInputImpl : public cam::SetupInput {
public:
    explicit SetupInputImpl(cam::OperationTypes type) : type_(type) {}
    cam::OperationTypes operationType() override { return type_; }
    std::string name() override { return name_; }
    bool name(const std::string& name) override {
        name_ = name;
        return true;
    }
    std::vector<core::Ptr<core::Base>> models() override { return models_; }
    bool models(const std::vector<core::Ptr<core::Base>>& models) override {
        models_ = models;
        return true;
    }
    core::Ptr<cam::Machine> machine() override { return machine_; }
    bool machine(const core::Ptr<cam::Machine>& machine) override {
        machine_ = machine;
        return true;
    }
    core::Ptr<cam::PrintSetting> printSetting() override { return printSetting_; }
    bool printSetting(const core::Ptr<cam::PrintSetting>& printSetting) override {
        printSetting_ = printSetting;
        return true;
    }

    cam::OperationTypes type_;
    std::string name_;
    std::vector<core::Ptr<core::Base>> models_;
    core::Ptr<cam::Machine> machine_;
    core::Ptr<cam::PrintSetting> printSetting_;
};

class SetupsImpl : public cam::Setups {
public:
    explicit SetupsImpl(core::Ptr<CAMImpl> cam) : cam_(std::move(cam)) {}
    size_t count() override { return cam_->setups_.size(); }
    core::Ptr<cam::Setup> item(size_t index) override { return itemAt(cam_->setups_, index); }
    core::Ptr<cam::Setup> itemByName(const std::string& name) override {
        for (auto& setup : cam_->setups_) {
            if (setup->name_ == name) return setup;
        }
        return core::Ptr<cam::Setup>();
    }
    core::Ptr<cam::Setup> itemByOperationId(int32_t operationId) override {
        for (auto& setup : cam_->setups_) {
            if (setup->operationId_ == operationId) return setup;
        }
        return core::Ptr<cam::Setup>();
    }
    core::Ptr<cam::SetupInput> createInput(cam::OperationTypes operationType) override {
        if (scriptedFailure("Setups::createInput")) return core::Ptr<cam::SetupInput>();
        if (operationType < cam::MillingOperation || operationType > cam::AdditiveOperation) {
            setLastError(core::InvalidArgumentError, "unknown operation type");
            return core::Ptr<cam::SetupInput>();
        }
        return make<SetupInputImpl>(operationType);
    }
    core::Ptr<cam::Setup> add(const core::Ptr<cam::SetupInput>& input) override {
        if (scriptedFailure("Setups::add")) return core::Ptr<cam::Setup>();
        if (!input) {
            setLastError(core::InvalidArgumentError, "no setup input");
            return core::Ptr<cam::Setup>();
        }
        if (input->models().empty()) {
            setLastError(core::InvalidArgumentError, "a setup needs at least one model");
            return core::Ptr<cam::Setup>();
        }
        if (input->operationType() == cam::AdditiveOperation && !input->machine()) {
            setLastError(core::InvalidArgumentError, "an additive setup needs a machine");
            return core::Ptr<cam::Setup>();
        }
        std::string name = input->name();
        if (name.empty()) name = "Setup" + std::to_string(cam_->setups_.size() + 1);
        return cam_->addSetup(name, input->operationType(), input->machine(), input->printSetting(), input->models());
    }

private:
    core::Ptr<CAMImpl> cam_;
};

class ManufacturingModelInputImpl : public cam::ManufacturingModelInput {
public:
    std::string name() override { return name_; }
    bool name(const std::string& name) override {
        name_ = name;
        return true;
    }
    std::string name_;
};

class ManufacturingModelsImpl : public cam::ManufacturingModels {
public:
    explicit ManufacturingModelsImpl(core::Ptr<CAMImpl> cam) : cam_(std::move(cam)) {}
    size_t count() override { return cam_->models_.size(); }
    core::Ptr<cam::ManufacturingModel> item(size_t index) override { return itemAt(cam_->models_, index); }
    core::Ptr<cam::ManufacturingModel> itemByName(const std::string& name) override {
        for (auto& model : cam_->models_) {
            if (model->name_ == name) return model;
        }
        return core::Ptr<cam::ManufacturingModel>();
    }
    core::Ptr<cam::ManufacturingModelInput> createInput() override {
        if (scriptedFailure("ManufacturingModels::createInput")) return core::Ptr<cam::ManufacturingModelInput>();
        return make<ManufacturingModelInputImpl>();
    }
    core::Ptr<cam::ManufacturingModel> add(const core::Ptr<cam::ManufacturingModelInput>& input) override {
        if (scriptedFailure("ManufacturingModels::add")) return core::Ptr<cam::ManufacturingModel>();
        if (!input) {
            setLastError(core::InvalidArgumentError, "no manufacturing model input");
            return core::Ptr<cam::ManufacturingModel>();
        }
        return cam_->addManufacturingModel(input->name());
    }

private:
    core::Ptr<CAMImpl> cam_;
};

core::Ptr<cam::SetupEvent> setupEvent(const char* name) { return make<cam::SetupEvent>(name); }

}  // namespace

// ---- SetupImpl -----------------------------------------------------------------

bool SetupImpl::name(const std::string& name) {
    if (!valid_) return failInvalid("Setup::name");
    name_ = name;
    auto cam = lock(cam_);
    if (cam) cam->changeSetup(self(this), cam::SetupNameChange);
    return true;
}

bool SetupImpl::isActive() {
    auto cam = lock(cam_);
    return valid_ && cam && cam->activeSetup_.get() == this;
}

bool SetupImpl::activate() {
    auto cam = lock(cam_);
    if (!valid_ || !cam) return failInvalid("Setup::activate");
    return cam->activateSetup(self(this));
}

bool SetupImpl::machine(const core::Ptr<cam::Machine>& machine) {
    auto cam = lock(cam_);
    if (!valid_ || !cam) return failInvalid("Setup::machine");
    if (scriptedFailure("Setup::machine")) return false;
    machine_ = machine;
    return cam->changeSetup(self(this), cam::SetupMachineChange);
}

core::Ptr<cam::CAM> SetupImpl::parent() { return lock(cam_); }

bool SetupImpl::deleteMe() {
    auto cam = lock(cam_);
    if (!valid_ || !cam) return failInvalid("Setup::deleteMe");
    return cam->deleteSetup(self(this));
}

core::Ptr<kalvix::Occurrence> ManufacturingModelImpl::occurrence() { return occurrence_; }

// ---- CAMImpl -------------------------------------------------------------------

CAMImpl::CAMImpl(std::weak_ptr<DocumentImpl> document)
    : document_(std::move(document)), setupCreated_(setupEvent("setupCreated")),
      setupDestroying_(setupEvent("setupDestroying")), setupActivated_(setupEvent("setupActivated")),
      setupActivating_(setupEvent("setupActivating")), setupDeactivated_(setupEvent("setupDeactivated")),
      setupDeactivating_(setupEvent("setupDeactivating")), setupChanged_(make<cam::SetupChangeEvent>("setupChanged")) {}

core::Ptr<core::Document> CAMImpl::parentDocument() { return lock(document_); }

core::Ptr<cam::Setups> CAMImpl::setups() {
    if (scriptedFailure("CAM::setups")) return core::Ptr<cam::Setups>();
    return make<SetupsImpl>(self(this));
}

core::Ptr<cam::ManufacturingModels> CAMImpl::manufacturingModels() {
    if (scriptedFailure("CAM::manufacturingModels")) return core::Ptr<cam::ManufacturingModels>();
    return make<ManufacturingModelsImpl>(self(this));
}

void CAMImpl::fire(const core::Ptr<cam::SetupEvent>& event, const core::Ptr<SetupImpl>& setup) {
    event->fire(make<cam::SetupEventArgs>(setup));
}

core::Ptr<SetupImpl> CAMImpl::addSetup(const std::string& name, cam::OperationTypes type,
                                       const core::Ptr<cam::Machine>& machine,
                                       const core::Ptr<cam::PrintSetting>& printSetting,
                                       const std::vector<core::Ptr<core::Base>>& models) {
    auto setup = make<SetupImpl>();
    setup->cam_ = weak(self(this));
    setup->operationId_ = nextOperationId_++;
    setup->operationType_ = type;
    setup->name_ = name;
    setup->machine_ = machine;
    setup->printSetting_ = printSetting;
    setup->models_ = models;
    setups_.push_back(setup);
    fire(setupCreated_, setup);
    if (setup->valid_) activateSetup(setup);
    return setup;
}

bool CAMImpl::activateSetup(const core::Ptr<SetupImpl>& setup) {
    if (!setup || !setup->valid_) return failInvalid("Setup::activate");
    if (activeSetup_ == setup) return true;
    auto previous = activeSetup_;
    if (previous) fire(setupDeactivating_, previous);
    fire(setupActivating_, setup);
    if (!setup->valid_) return false;
    activeSetup_ = setup;
    if (previous) fire(setupDeactivated_, previous);
    if (activeSetup_ == setup) fire(setupActivated_, setup);
    return true;
}

bool CAMImpl::changeSetup(const core::Ptr<SetupImpl>& setup, cam::SetupChangeTypes change) {
    if (!setup || !setup->valid_) return failInvalid("Setup::change");
    // Any change makes the toolpath out of date until it is generated again.
    setup->toolpathValid_ = false;
    setupChanged_->fire(make<cam::SetupChangeEventArgs>(setup, change));
    return true;
}

bool CAMImpl::deleteSetup(const core::Ptr<SetupImpl>& setup) {
    if (!setup || !setup->valid_) return failInvalid("Setup::deleteMe");
    if (scriptedFailure("Setup::deleteMe")) return false;
    fire(setupDestroying_, setup);
    auto it = std::find(setups_.begin(), setups_.end(), setup);
    if (it == setups_.end()) return true;
    setups_.erase(it);
    setup->valid_ = false;
    if (activeSetup_ != setup) return true;
    activeSetup_.reset();
    if (setups_.empty()) return true;
    auto next = setups_.front();
    fire(setupActivating_, next);
    if (!next->valid_ || activeSetup_) return true;
    activeSetup_ = next;
    fire(setupActivated_, next);
    return true;
}

core::Ptr<ManufacturingModelImpl> CAMImpl::addManufacturingModel(const std::string& name) {
    auto document = lock(document_);
    if (!document || !document->design_) {
        failInvalid("ManufacturingModels::add");
        return core::Ptr<ManufacturingModelImpl>();
    }
    auto model = make<ManufacturingModelImpl>();
    model->id_ = std::to_string(nextOperationId_++);
    model->name_ = name.empty() ? "Manufacturing Model " + std::to_string(models_.size() + 1) : name;
    CloneMap map;
    auto copy = document->design_->root_->clone(map);
    model->occurrence_ = make<OccurrenceImpl>(copy->name_ + ":1", copy);
    models_.push_back(model);
    return model;
}

core::Ptr<CAMImpl> CAMImpl::copyFor(const core::Ptr<DocumentImpl>& document) const {
    auto copy = make<CAMImpl>(weak(document));
    copy->nextOperationId_ = nextOperationId_;
    CloneMap map;
    for (auto& model : models_) {
        auto m = make<ManufacturingModelImpl>();
        m->id_ = model->id_;
        m->name_ = model->name_;
        auto component = model->occurrence_->component_->clone(map);
        m->occurrence_ = make<OccurrenceImpl>(model->occurrence_->name_, component);
        map[model->occurrence_.get()] = m->occurrence_;
        copy->models_.push_back(m);
    }
    for (auto& setup : setups_) {
        auto s = make<SetupImpl>();
        s->cam_ = weak(copy);
        s->operationId_ = setup->operationId_;
        s->operationType_ = setup->operationType_;
        s->name_ = setup->name_;
        s->machine_ = setup->machine_;
        s->printSetting_ = setup->printSetting_;
        s->toolpathValid_ = setup->toolpathValid_;
        for (auto& model : setup->models_) {
            auto found = map.find(model.get());
            if (found != map.end()) s->models_.push_back(found->second);
        }
        copy->setups_.push_back(s);
        if (setup == activeSetup_) copy->activeSetup_ = s;
    }
    return copy;
}

bool CAMImpl::export3MF(const std::string& filePath, const core::Ptr<core::Base>& entity, const core::Ptr<core::Base>&,
                        bool, bool) {
    if (scriptedFailure("CAM::export3MF")) return false;
    auto document = lock(document_);
    if (!document || !document->valid_) return failInvalid("CAM::export3MF");
    core::Ptr<ComponentImpl> root = document->design_->root_;
    if (auto occurrence = entity.query<kalvix::Occurrence>()) {
        root = core::Ptr<ComponentImpl>(std::static_pointer_cast<OccurrenceImpl>(occurrence.shared())->component_);
    }
    if (root->totalBodyCount() == 0) {
        setLastError(core::OperationFailedError, "the design has no bodies to export");
        return false;
    }
    return write3MF(filePath, *root);
}

bool CAMImpl::postProcess(const core::Ptr<core::Base>& setupOrOperation,
                          const core::Ptr<cam::PostProcessInput>& input) {
    if (scriptedFailure("CAM::postProcess")) return false;
    auto setup = setupOrOperation.query<cam::Setup>();
    if (!setup || !input) {
        setLastError(core::InvalidArgumentError, "postProcess needs a setup and a post input");
        return false;
    }
    auto impl = std::static_pointer_cast<SetupImpl>(setup.shared());
    if (!impl->valid_ || impl->cam_.lock().get() != this) {
        setLastError(core::InvalidArgumentError, "the setup does not belong to this document");
        return false;
    }
    if (!impl->toolpathValid_) {
        setLastError(core::OperationFailedError, "the toolpath of setup " + impl->name_ + " is not valid");
        return false;
    }
    std::string written;
    return writeGCode(*impl, *input, &written);
}

std::string CAMImpl::systemPostFolder() {
    auto application = HostState::instance().application();
    return application ? application->camManager()->systemPostFolder_ : std::string();
}

}  // namespace impl
}  // namespace qrvn
