// The manufacturing side: setup events in the host's order, operation ids,
// library queries, manufacturing models, and the export operations.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "tests/host/recorders.h"

namespace hosttest {
namespace {

using namespace qrvn;

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
    std::string tempPath(const std::string& name) const {
        return ::testing::TempDir() + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + name;
    }

    Ptr<kalvix::KalvixDocument> doc;
    Ptr<cam::CAM> cam;
    Ptr<cam::Machine> printerA, printerB;
};

TEST_F(CamTest, AddingSetupsFiresCreatedThenActivation) {
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
}

TEST_F(CamTest, ChangingTheMachineFiresChanged) {
    auto setup = addSetup("S1", printerA);
    EventLog log;
    SetupRecorders recorders(log, cam);
    ASSERT_TRUE(setup->machine(printerB));
    EXPECT_EQ(setup->machine(), printerB);
    ASSERT_TRUE(setup->name("Renamed"));
    EXPECT_EQ(log, (EventLog{"setupChanged:S1/" + std::to_string(cam::SetupMachineChange),
                             "setupChanged:Renamed/" + std::to_string(cam::SetupNameChange)}));
}

TEST_F(CamTest, DeletingTheActiveSetupActivatesTheFirstRemaining) {
    auto first = addSetup("S1", printerA);
    auto second = addSetup("S2", printerA);
    auto third = addSetup("S3", printerA);
    EventLog log;
    SetupRecorders recorders(log, cam);
    ASSERT_TRUE(third->deleteMe());
    EXPECT_EQ(log, (EventLog{"destroying:S3(active)", "activating:S1", "activated:S1(active)"}));
    EXPECT_FALSE(third->isValid());
    EXPECT_FALSE(cam->setups()->itemByOperationId(third->operationId()));
    log.clear();
    ASSERT_TRUE(second->deleteMe());
    EXPECT_EQ(log, (EventLog{"destroying:S2"})) << "deleting an inactive setup changes no activation";
    EXPECT_FALSE(third->deleteMe());
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
    // Another document numbers its own operations from the start.
    auto other = sim::newDocument("Other");
    auto otherSetup = sim::addSetup(other, "T1", printerA);
    EXPECT_EQ(otherSetup->operationId(), first->operationId());
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

TEST_F(CamTest, ManufacturingModelCopiesTheDesign) {
    sim::setDesign(doc, {"", {"Base"}, {}, {{"Arm", {"ArmBody"}, {"ArmMesh"}, {}}, {"Pin", {}, {}, {}}}});
    auto input = cam->manufacturingModels()->createInput();
    input->name("Manufacturing Model");
    auto model = cam->manufacturingModels()->add(input);
    ASSERT_TRUE(model);
    EXPECT_EQ(model->name(), "Manufacturing Model");
    auto occurrence = model->occurrence();
    ASSERT_TRUE(occurrence);
    EXPECT_EQ(occurrence->bRepBodies()->count(), 1u);
    ASSERT_EQ(occurrence->childOccurrences()->count(), 2u);
    auto arm = occurrence->childOccurrences()->item(0);
    EXPECT_EQ(arm->name(), "Arm:1");
    EXPECT_EQ(arm->bRepBodies()->item(0)->name(), "ArmBody");
    EXPECT_EQ(arm->component()->meshBodies()->count(), 1u);
    EXPECT_EQ(occurrence->childOccurrences()->item(1)->childOccurrences()->count(), 0u);
    // The model is a copy: changing the design later does not change it.
    sim::setDesign(doc, {"", {}, {}, {}});
    EXPECT_EQ(model->occurrence()->bRepBodies()->count(), 1u);
    EXPECT_NE(model->occurrence()->bRepBodies()->item(0), doc->design()->rootComponent()->bRepBodies()->item(0));
}

TEST_F(CamTest, MachineQueriesFilterByLocationVendorModelAndTechnology) {
    auto local = printer("id-c", "Printer C", "Stratavox", "C1");
    local.location = cam::LocalLibraryLocation;
    sim::addMachine(local);
    auto sla = printer("id-d", "Printer D", "Stratavox", "D1");
    sla.technology = cam::SLAMachineTechnology;
    sim::addMachine(sla);
    auto library = cam::CAMManager::get()->libraryManager()->machineLibrary();
    auto names = [](const std::vector<Ptr<cam::Machine>>& machines) {
        std::vector<std::string> result;
        for (auto& m : machines) result.push_back(m->name());
        return result;
    };
    EXPECT_EQ(names(library->createQuery(cam::HostLibraryLocation, "Stratavox", "")->execute()),
              (std::vector<std::string>{"Printer A", "Printer D"}));
    EXPECT_EQ(names(library->createQuery(cam::HostLibraryLocation)->execute()),
              (std::vector<std::string>{"Printer A", "Printer B", "Printer D"}));
    EXPECT_EQ(names(library->createQuery(cam::HostLibraryLocation, "stratavox")->execute()),
              std::vector<std::string>{}) << "vendor compares exactly";
    EXPECT_EQ(names(library->createQuery(cam::HostLibraryLocation, "Stratavox", "D1")->execute()),
              (std::vector<std::string>{"Printer D"}));
    auto query = library->createQuery(cam::HostLibraryLocation, "Stratavox");
    query->technology(cam::FFFMachineTechnology);
    EXPECT_EQ(names(query->execute()), (std::vector<std::string>{"Printer A"}));
    EXPECT_EQ(names(library->createQuery(cam::LocalLibraryLocation)->execute()),
              (std::vector<std::string>{"Printer C"}));
}

TEST_F(CamTest, PrintSettingQueriesFilterByVendorAndTechnology) {
    auto add = [](const std::string& name, const std::string& vendor, const std::string& technology) {
        sim::PrintSettingSpec spec;
        spec.name = name;
        spec.vendor = vendor;
        spec.technology = technology;
        sim::addPrintSetting(spec);
    };
    add("Fine", "Stratavox", "FFF");
    add("Bowden Tube PLA", "Generic", "FFF");
    add("Resin", "Generic", "SLA");
    auto library = cam::CAMManager::get()->libraryManager()->printSettingLibrary();
    auto byVendor = library->createQuery(cam::HostLibraryLocation);
    byVendor->vendor("Stratavox");
    ASSERT_EQ(byVendor->execute().size(), 1u);
    EXPECT_EQ(byVendor->execute()[0]->name(), "Fine");
    auto fff = library->createQuery(cam::HostLibraryLocation);
    fff->technology("FFF");
    auto found = fff->execute();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[1]->name(), "Bowden Tube PLA");
    EXPECT_TRUE(library->createQuery(cam::CloudLibraryLocation)->execute().empty());
}

TEST_F(CamTest, MachineCapabilitiesAndDescription) {
    auto spec = printer("id-x", "Printer X", "Stratavox");
    spec.hasTechnology = false;
    spec.postProcessor = "system://stratavox/x.cps";
    auto machine = sim::addMachine(spec);
    EXPECT_FALSE(machine->capabilities()->hasTechnology());
    const std::string path = tempPath(".machine");
    ASSERT_TRUE(machine->exportToFile(cam::MachineDescriptionExportFormat, path));
    std::ifstream in(path);
    std::string xml((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(xml.find("<machine"), std::string::npos);
    EXPECT_NE(xml.find("<post>\n    <postProcessor>system://stratavox/x.cps</postProcessor>"), std::string::npos);
    EXPECT_FALSE(machine->exportToFile(1, path));
    EXPECT_FALSE(printerA->exportToFile(cam::MachineDescriptionExportFormat, "/nonexistent-dir/x.machine"));
    std::remove(path.c_str());
}

TEST_F(CamTest, Export3MFWritesAPackageOfTheBodies) {
    const std::string path = tempPath(".3mf");
    ASSERT_TRUE(cam->export3MF(path, Ptr<core::Base>(), Ptr<core::Base>(), false, false));
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 2), "PK") << "a 3MF package is a zip archive";
    std::remove(path.c_str());
    sim::setDesign(doc, {"", {}, {}, {}});
    EXPECT_FALSE(cam->export3MF(path, Ptr<core::Base>(), Ptr<core::Base>(), false, false))
        << "nothing to export";
}

TEST_F(CamTest, PostProcessNeedsAValidToolpath) {
    auto setup = addSetup("S1", printerA);
    auto input = cam::PostProcessInput::create("program", "/posts/x.cps", ::testing::TempDir(), cam::MillimetersOutput);
    ASSERT_TRUE(input);
    input->postProperties()->add("extruder1Material", core::ValueInput::createByString("PLA"));
    ASSERT_TRUE(cam->postProcess(setup, input));
    const std::string output = ::testing::TempDir() + "/program.gcode";
    std::ifstream in(output);
    std::string gcode((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(gcode.find("extruder1Material = PLA"), std::string::npos);
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
