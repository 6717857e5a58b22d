// The manufacturing side: setup events in the host's order, operation ids,
// library queries, manufacturing models, and the export operations.
#include <cstdio>

#include "tests/host/recorders.h"
#include "tests/support/scratch.h"

namespace hosttest {
namespace {

using namespace qrvn;
using testing_support::readWholeFile;

class CamTest : public HostTest {
protected:
    void SetUp() override {
        doc = sim::newDocument("Bracket");
        sim::setDesign(doc, {"", {"Body1"}, {}, {}});
        ASSERT_TRUE(sim::activateWorkspace("CAMEnvironment"));
        cam = camOf(doc);
        ASSERT_TRUE(cam);
        printerA = sim::addMachine(printer("id-a", "Printer A", "Stratavox", "A1"));
        printerB = sim::addMachine(printer("id-b", "Printer B", "Other", "B1"));
    }
    Ptr<cam::Setup> addSetup(const std::string& name, const Ptr<cam::Machine>& machine) {
        auto models = cam->manufacturingModels();
        auto model = models->count() ? models->item(0) : models->add(models->createInput());
        auto input = cam->setups()->createInput(cam::AdditiveOperation);
        input->name(name);
        input->models({model->occurrence()});
        input->machine(machine);
        return cam->setups()->add(input);
    }

    Ptr<kalvix::KalvixDocument> doc;
    Ptr<cam::CAM> cam;
    Ptr<cam::Machine> printerA, printerB;
};

TEST_F(CamTest, SetupEventsFollowTheHostOrder) {
    EventLog log;
    SetupRecorders recorders(log, cam);
    auto first = addSetup("S1", printerA);
    ASSERT_TRUE(first);
    EXPECT_EQ(log, (EventLog{"created:S1", "activating:S1", "activated:S1(active)"}));
    log.clear();
    auto second = addSetup("S2", printerB);
    EXPECT_EQ(log, (EventLog{"created:S2", "deactivating:S1(active)", "activating:S2", "deactivated:S1",
                             "activated:S2(active)"}));
    EXPECT_TRUE(second->isActive());
    EXPECT_FALSE(first->isActive());
    log.clear();
    ASSERT_TRUE(first->activate());
    EXPECT_EQ(log, (EventLog{"deactivating:S2(active)", "activating:S1", "deactivated:S2", "activated:S1(active)"}));

    log.clear();
    ASSERT_TRUE(second->machine(printerA));
    EXPECT_EQ(second->machine(), printerA);
    ASSERT_TRUE(second->name("Renamed"));
    EXPECT_EQ(log, (EventLog{"setupChanged:S2/" + std::to_string(cam::SetupMachineChange),
                             "setupChanged:Renamed/" + std::to_string(cam::SetupNameChange)}));

    auto third = addSetup("S3", printerA);
    log.clear();
    ASSERT_TRUE(third->deleteMe());
    EXPECT_EQ(log, (EventLog{"destroying:S3(active)", "activating:S1", "activated:S1(active)"}))
        << "deleting the active setup activates the first remaining";
    EXPECT_FALSE(third->isValid());
    EXPECT_FALSE(cam->setups()->itemByOperationId(third->operationId()));
    EXPECT_FALSE(third->deleteMe());
    log.clear();
    ASSERT_TRUE(second->deleteMe());
    EXPECT_EQ(log, (EventLog{"destroying:Renamed"})) << "deleting an inactive setup changes no activation";
}

TEST_F(CamTest, OperationIdsAreUniquePerDocumentAndNeverReused) {
    auto first = addSetup("S1", printerA);
    auto second = addSetup("S2", printerA);
    EXPECT_NE(first->operationId(), second->operationId());
    int32_t removed = second->operationId();
    second->deleteMe();
    auto third = addSetup("S3", printerA);
    EXPECT_NE(third->operationId(), removed);
    EXPECT_NE(third->operationId(), first->operationId());
    EXPECT_EQ(cam->setups()->itemByOperationId(third->operationId()), third);
    EXPECT_EQ(cam->setups()->itemByName("S1"), first);
    auto other = sim::newDocument("Other");
    EXPECT_EQ(sim::addSetup(other, "T1", printerA)->operationId(), first->operationId())
        << "another document numbers its own operations from the start";
}

TEST_F(CamTest, SetupNeedsModelsAndAnAdditiveMachine) {
    auto input = cam->setups()->createInput(cam::AdditiveOperation);
    input->machine(printerA);
    EXPECT_FALSE(cam->setups()->add(input));
    auto model = cam->manufacturingModels()->add(cam->manufacturingModels()->createInput());
    input->models({model->occurrence()});
    input->machine(Ptr<cam::Machine>());
    EXPECT_FALSE(cam->setups()->add(input));
    input->machine(printerA);
    EXPECT_TRUE(cam->setups()->add(input));
}

TEST_F(CamTest, ManufacturingModelCopiesTheNumberedDesignTree) {
    sim::setDesign(doc, {"", {"Base"}, {}, {{"Arm", {"ArmBody"}, {"ArmMesh"}, {}}, {"Arm", {"ArmBody"}, {"ArmMesh"}, {}},
                                           {"Pin", {}, {}, {}}}});
    auto root = doc->design()->rootComponent();
    EXPECT_EQ(root->name(), "Bracket");
    ASSERT_EQ(root->occurrences()->count(), 3u);
    EXPECT_TRUE(root->occurrences()->itemByName("Arm:1"));
    EXPECT_FALSE(root->occurrences()->item(3));
    EXPECT_EQ(root->occurrences()->item(0)->bRepBodies()->item(0)->parentComponent(),
              root->occurrences()->item(0)->component());

    auto input = cam->manufacturingModels()->createInput();
    input->name("Manufacturing Model");
    auto model = cam->manufacturingModels()->add(input);
    ASSERT_TRUE(model);
    EXPECT_EQ(model->name(), "Manufacturing Model");
    auto occurrence = model->occurrence();
    ASSERT_TRUE(occurrence);
    EXPECT_EQ(occurrence->bRepBodies()->count(), 1u);
    ASSERT_EQ(occurrence->childOccurrences()->count(), 3u);
    auto arm = occurrence->childOccurrences()->item(0);
    EXPECT_EQ(arm->name(), "Arm:1");
    EXPECT_EQ(arm->bRepBodies()->item(0)->name(), "ArmBody");
    EXPECT_EQ(arm->component()->meshBodies()->count(), 1u);
    EXPECT_EQ(occurrence->childOccurrences()->item(2)->childOccurrences()->count(), 0u);
    sim::setDesign(doc, {"", {}, {}, {}});
    EXPECT_EQ(model->occurrence()->bRepBodies()->count(), 1u) << "the model is a copy of the design";
    EXPECT_NE(model->occurrence()->bRepBodies()->item(0), doc->design()->rootComponent()->bRepBodies()->item(0));
}

TEST_F(CamTest, LibraryQueriesFilterByLocationVendorModelAndTechnology) {
    auto local = printer("id-c", "Printer C", "Stratavox", "C1");
    local.location = cam::LocalLibraryLocation;
    sim::addMachine(local);
    auto sla = printer("id-d", "Printer D", "Stratavox", "D1");
    sla.technology = cam::SLAMachineTechnology;
    sim::addMachine(sla);
    auto machines = cam::CAMManager::get()->libraryManager()->machineLibrary();
    auto names = [](const auto& items) {
        std::vector<std::string> result;
        for (auto& item : items) result.push_back(item->name());
        return result;
    };
    using Names = std::vector<std::string>;
    EXPECT_EQ(names(machines->createQuery(cam::HostLibraryLocation, "Stratavox", "")->execute()),
              (Names{"Printer A", "Printer D"}));
    EXPECT_EQ(names(machines->createQuery(cam::HostLibraryLocation)->execute()),
              (Names{"Printer A", "Printer B", "Printer D"}));
    EXPECT_EQ(names(machines->createQuery(cam::HostLibraryLocation, "stratavox")->execute()), Names{})
        << "vendor compares exactly";
    EXPECT_EQ(names(machines->createQuery(cam::HostLibraryLocation, "Stratavox", "D1")->execute()),
              (Names{"Printer D"}));
    auto query = machines->createQuery(cam::HostLibraryLocation, "Stratavox");
    query->technology(cam::FFFMachineTechnology);
    EXPECT_EQ(names(query->execute()), (Names{"Printer A"}));
    EXPECT_EQ(names(machines->createQuery(cam::LocalLibraryLocation)->execute()), (Names{"Printer C"}));

    for (auto [name, vendor, technology] : {std::make_tuple("Fine", "Stratavox", "FFF"),
                                            std::make_tuple("Bowden Tube PLA", "Generic", "FFF"),
                                            std::make_tuple("Resin", "Generic", "SLA")}) {
        sim::PrintSettingSpec spec;
        spec.name = name;
        spec.vendor = vendor;
        spec.technology = technology;
        sim::addPrintSetting(spec);
    }
    auto settings = cam::CAMManager::get()->libraryManager()->printSettingLibrary();
    auto byVendor = settings->createQuery(cam::HostLibraryLocation);
    byVendor->vendor("Stratavox");
    EXPECT_EQ(names(byVendor->execute()), (Names{"Fine"}));
    auto fff = settings->createQuery(cam::HostLibraryLocation);
    fff->technology("FFF");
    EXPECT_EQ(names(fff->execute()), (Names{"Fine", "Bowden Tube PLA"}));
    EXPECT_TRUE(settings->createQuery(cam::CloudLibraryLocation)->execute().empty());
}

TEST_F(CamTest, MachineCapabilitiesAndDescription) {
    auto spec = printer("id-x", "Printer X", "Stratavox");
    spec.hasTechnology = false;
    spec.postProcessor = "system://stratavox/x.cps";
    auto machine = sim::addMachine(spec);
    EXPECT_FALSE(machine->capabilities()->hasTechnology());
    const std::string path = tempPath(".machine");
    ASSERT_TRUE(machine->exportToFile(cam::MachineDescriptionExportFormat, path));
    const std::string xml = readWholeFile(path);
    EXPECT_NE(xml.find("<machine"), std::string::npos);
    EXPECT_NE(xml.find("<post>\n    <postProcessor>system://stratavox/x.cps</postProcessor>"), std::string::npos);
    EXPECT_FALSE(machine->exportToFile(1, path));
    EXPECT_FALSE(printerA->exportToFile(cam::MachineDescriptionExportFormat, "/nonexistent-dir/x.machine"));
    std::remove(path.c_str());
}

TEST_F(CamTest, Export3MFWritesAPackageOfTheBodies) {
    const std::string path = tempPath(".3mf");
    ASSERT_TRUE(cam->export3MF(path, Ptr<core::Base>(), Ptr<core::Base>(), false, false));
    EXPECT_EQ(readWholeFile(path).substr(0, 2), "PK") << "a 3MF package is a zip archive";
    std::remove(path.c_str());
    sim::setDesign(doc, {"", {}, {}, {}});
    EXPECT_FALSE(cam->export3MF(path, Ptr<core::Base>(), Ptr<core::Base>(), false, false)) << "nothing to export";
}

TEST_F(CamTest, PostProcessNeedsAValidToolpath) {
    auto setup = addSetup("S1", printerA);
    auto input = cam::PostProcessInput::create("program", "/posts/x.cps", ::testing::TempDir(), cam::MillimetersOutput);
    ASSERT_TRUE(input);
    input->postProperties()->add("extruder1Material", core::ValueInput::createByString("PLA"));
    ASSERT_TRUE(cam->postProcess(setup, input));
    const std::string output = ::testing::TempDir() + "/program.gcode";
    EXPECT_NE(readWholeFile(output).find("extruder1Material = PLA"), std::string::npos);
    std::remove(output.c_str());

    setup->machine(printerB);  // the toolpath is now out of date
    EXPECT_FALSE(cam->postProcess(setup, input));
    sim::setToolpathValid(setup, true);
    EXPECT_TRUE(cam->postProcess(setup.query<core::Base>(), input));
    std::remove(output.c_str());
    EXPECT_FALSE(cam::PostProcessInput::create("", "/posts/x.cps", "/tmp", cam::MillimetersOutput));
}

}  // namespace
}  // namespace hosttest
