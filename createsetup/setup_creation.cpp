#include "createsetup/setup_creation.h"

#include <cstddef>
#include <map>
#include <stdexcept>

#include "createsetup/command_state.h"
#include "createsetup/toolbar_modes.h"
#include "support/require.h"

namespace CreateSetup {

using qrvn::core::Ptr;
using support::required;
namespace core = qrvn::core;
namespace cam = qrvn::cam;
namespace kalvix = qrvn::kalvix;

namespace {

template <class T>
Ptr<T> lookUp(const std::map<std::string, Ptr<T>>& table, const std::string& text) {
    auto found = table.find(text);
    return found == table.end() ? nullptr : found->second;
}

Ptr<cam::CAM> camProductOf(const Ptr<core::Document>& document) {
    Ptr<core::Products> products = document->products();
    if (!products) return nullptr;
    return products->itemByProductType("CAMProductType").query<cam::CAM>();
}

template <class Collection>
size_t countOf(const Ptr<Collection>& collection) {
    return collection ? collection->count() : 0;
}

}  // namespace

Ptr<cam::CAM> findCamProduct(const Ptr<core::Application>& app, const Ptr<core::UserInterface>& ui) {
    Ptr<core::Document> document = app ? app->activeDocument() : nullptr;
    if (!document) return nullptr;
    Ptr<cam::CAM> product = camProductOf(document);
    if (product || !ui) return product;

    Ptr<core::Workspaces> workspaces = ui->workspaces();
    Ptr<core::Workspace> camWorkspace = workspaces ? workspaces->itemById(kCamWorkspaceId) : nullptr;
    if (!camWorkspace) return nullptr;
    camWorkspace->activate();
    return camProductOf(document);
}

void collectModels(const Ptr<kalvix::Occurrence>& occurrence, std::vector<Ptr<core::Base>>& models) {
    if (!occurrence) return;
    Ptr<kalvix::BRepBodies> bodies = occurrence->bRepBodies();
    Ptr<kalvix::Component> component = occurrence->component();
    Ptr<kalvix::MeshBodies> meshes = component ? component->meshBodies() : nullptr;
    const size_t bodyCount = countOf(bodies);
    const size_t meshCount = countOf(meshes);
    const bool hasOwnBodies = bodyCount != 0 || meshCount != 0;

    Ptr<kalvix::OccurrenceList> children = occurrence->childOccurrences();
    const size_t childCount = countOf(children);
    if (childCount == 0) {
        if (hasOwnBodies) models.push_back(occurrence);
        return;
    }

    if (hasOwnBodies) {
        for (size_t i = 0; i < bodyCount; ++i) models.push_back(required(bodies->item(i), "no body"));
        for (size_t i = 0; i < meshCount; ++i) models.push_back(required(meshes->item(i), "no mesh body"));
    }
    for (size_t i = 0; i < childCount; ++i) collectModels(children->item(i), models);
}

Ptr<cam::Setup> createSetup(const Ptr<cam::CAM>& camProduct, const std::string& printerText,
                            const std::string& printSettingName) {
    const CommandState& s = state();
    required(camProduct, "no CAM product");

    Ptr<cam::ManufacturingModels> modelsCollection =
        required(camProduct->manufacturingModels(), "no manufacturing models");
    Ptr<cam::ManufacturingModelInput> modelInput =
        required(modelsCollection->createInput(), "no manufacturing model input");
    modelInput->name("Manufacturing Model");
    Ptr<cam::ManufacturingModel> model =
        required(modelsCollection->add(modelInput), "could not create the manufacturing model");

    Ptr<cam::Setups> setups = required(camProduct->setups(), "no setups");
    Ptr<cam::SetupInput> setupInput = required(setups->createInput(cam::AdditiveOperation), "no setup input");

    Ptr<cam::Machine> printer = lookUp(s.printers, printerText);
    Ptr<cam::PrintSetting> printSetting = lookUp(s.printSettings, printSettingName);

    std::vector<Ptr<core::Base>> models;
    collectModels(model->occurrence(), models);
    if (models.empty()) return nullptr;

    setupInput->name(s.vendor + " Setup");
    setupInput->models(models);
    setupInput->machine(printer);
    setupInput->printSetting(printSetting);
    // The design has bodies here, so a refusal is a real failure and not the
    // "no bodies" case the caller reports to the user.
    return required(setups->add(setupInput), "could not create the setup");
}

}  // namespace CreateSetup
