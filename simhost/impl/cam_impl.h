// CAMImpl: the simulated manufacturing product of a document. Owns the
// setups (with their operation ids, unique per document and never reused),
// the manufacturing models and the seven setup events, and performs the
// host's setup operations with the event order documented in
// host/cam/cam_product.h. User-interface thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/cam/cam_product.h"
#include "host/cam/manufacturing_models.h"
#include "host/cam/setups.h"

namespace qrvn {
namespace impl {

class CAMImpl;
class DocumentImpl;
class ComponentImpl;
class OccurrenceImpl;

class SetupImpl : public cam::Setup {
public:
    int32_t operationId() override { return operationId_; }
    cam::OperationTypes operationType() override { return operationType_; }
    std::string name() override { return name_; }
    bool name(const std::string& name) override;
    bool isActive() override;
    bool activate() override;
    core::Ptr<cam::Machine> machine() override { return machine_; }
    bool machine(const core::Ptr<cam::Machine>& machine) override;
    core::Ptr<cam::PrintSetting> printSetting() override { return printSetting_; }
    std::vector<core::Ptr<core::Base>> models() override { return models_; }
    core::Ptr<cam::CAM> parent() override;
    bool deleteMe() override;
    bool isValid() override { return valid_; }

    std::weak_ptr<CAMImpl> cam_;
    int32_t operationId_ = 0;
    cam::OperationTypes operationType_ = cam::AdditiveOperation;
    std::string name_;
    core::Ptr<cam::Machine> machine_;
    core::Ptr<cam::PrintSetting> printSetting_;
    std::vector<core::Ptr<core::Base>> models_;
    bool valid_ = true;
    // Whether the setup has an up-to-date toolpath (post-processing needs one).
    bool toolpathValid_ = true;
};

class ManufacturingModelImpl : public cam::ManufacturingModel {
public:
    std::string name() override { return name_; }
    std::string id() override { return id_; }
    core::Ptr<kalvix::Occurrence> occurrence() override;

    std::string name_;
    std::string id_;
    core::Ptr<OccurrenceImpl> occurrence_;
};

class CAMImpl : public cam::CAM {
public:
    explicit CAMImpl(std::weak_ptr<DocumentImpl> document);

    std::string productType() override { return "CAMProductType"; }
    std::string name() override { return "CAM"; }
    core::Ptr<core::Document> parentDocument() override;

    core::Ptr<cam::Setups> setups() override;
    core::Ptr<cam::ManufacturingModels> manufacturingModels() override;

    core::Ptr<cam::SetupEvent> setupCreated() override { return setupCreated_; }
    core::Ptr<cam::SetupEvent> setupDestroying() override { return setupDestroying_; }
    core::Ptr<cam::SetupEvent> setupActivated() override { return setupActivated_; }
    core::Ptr<cam::SetupEvent> setupActivating() override { return setupActivating_; }
    core::Ptr<cam::SetupEvent> setupDeactivated() override { return setupDeactivated_; }
    core::Ptr<cam::SetupEvent> setupDeactivating() override { return setupDeactivating_; }
    core::Ptr<cam::SetupChangeEvent> setupChanged() override { return setupChanged_; }

    bool export3MF(const std::string& filePath, const core::Ptr<core::Base>& entity,
                   const core::Ptr<core::Base>& options, bool visibleOnly, bool includeSupports) override;
    bool postProcess(const core::Ptr<core::Base>& setupOrOperation,
                     const core::Ptr<cam::PostProcessInput>& input) override;
    std::string systemPostFolder() override;

    // Host side.
    core::Ptr<SetupImpl> addSetup(const std::string& name, cam::OperationTypes type,
                                  const core::Ptr<cam::Machine>& machine,
                                  const core::Ptr<cam::PrintSetting>& printSetting,
                                  const std::vector<core::Ptr<core::Base>>& models);
    bool activateSetup(const core::Ptr<SetupImpl>& setup);
    bool changeSetup(const core::Ptr<SetupImpl>& setup, cam::SetupChangeTypes change);
    bool deleteSetup(const core::Ptr<SetupImpl>& setup);
    core::Ptr<ManufacturingModelImpl> addManufacturingModel(const std::string& name);
    // A copy for a copied document (setups keep their operation ids).
    core::Ptr<CAMImpl> copyFor(const core::Ptr<DocumentImpl>& document) const;

    std::weak_ptr<DocumentImpl> document_;
    std::vector<core::Ptr<SetupImpl>> setups_;
    core::Ptr<SetupImpl> activeSetup_;
    std::vector<core::Ptr<ManufacturingModelImpl>> models_;
    int32_t nextOperationId_ = 1;

private:
    void fire(const core::Ptr<cam::SetupEvent>& event, const core::Ptr<SetupImpl>& setup);

    core::Ptr<cam::SetupEvent> setupCreated_, setupDestroying_, setupActivated_, setupActivating_, setupDeactivated_,
        setupDeactivating_;
    core::Ptr<cam::SetupChangeEvent> setupChanged_;
};

}  // namespace impl
}  // namespace qrvn
