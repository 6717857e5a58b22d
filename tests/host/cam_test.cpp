// The manufacturing side that no add-in test pins down: operation ids, which
// the framework keys its instances by, and the machine library's queries.
// Setup events, models, exports and post-processing are driven by the
// framework, Create Setup and export tests.
#include "tests/host/recorders.h"

namespace hosttest {
namespace {

using namespace qrvn;

class CamTest : public HostTest {
protected:
    void SetUp() override {
        doc = sim::newDocument("Bracket");
        printerA = sim::addMachine(printer("id-a", "Printer A", "Stratavox", "A1"));
        printerB = sim::addMachine(printer("id-b", "Printer B", "Other", "B1"));
    }

    Ptr<kalvix::KalvixDocument> doc;
    Ptr<cam::Machine> printerA, printerB;
};

TEST_F(CamTest, OperationIdsAreUniquePerDocumentAndNeverReused) {
    auto first = sim::addSetup(doc, "S1", printerA);
    auto second = sim::addSetup(doc, "S2", printerA);
    auto cam = camOf(doc);
    ASSERT_TRUE(cam);
    EXPECT_NE(first->operationId(), second->operationId());
    int32_t removed = second->operationId();
    ASSERT_TRUE(second->deleteMe());
    EXPECT_FALSE(cam->setups()->itemByOperationId(removed));
    auto third = sim::addSetup(doc, "S3", printerA);
    EXPECT_NE(third->operationId(), removed);
    EXPECT_NE(third->operationId(), first->operationId());
    EXPECT_EQ(cam->setups()->itemByOperationId(third->operationId()), third);
    auto other = sim::newDocument("Other");
    EXPECT_EQ(sim::addSetup(other, "T1", printerA)->operationId(), first->operationId())
        << "another document numbers its own operations from the start";
}

TEST_F(CamTest, MachineQueriesFilterByLocationVendorModelAndTechnology) {
    auto local = printer("id-c", "Printer C", "Stratavox", "C1");
    local.location = cam::LocalLibraryLocation;
    sim::addMachine(local);
    auto sla = printer("id-d", "Printer D", "Stratavox", "D1");
    sla.technology = cam::SLAMachineTechnology;
    sim::addMachine(sla);
    auto machines = cam::CAMManager::get()->libraryManager()->machineLibrary();
    using Names = std::vector<std::string>;
    const int32_t any = -1;
    struct Case {
        cam::LibraryLocations location;
        std::string vendor, model;
        int32_t technology;
        Names expected;
    };
    for (const Case& c : std::vector<Case>{
             {cam::HostLibraryLocation, "Stratavox", "", any, {"Printer A", "Printer D"}},
             {cam::HostLibraryLocation, "", "", any, {"Printer A", "Printer B", "Printer D"}},
             {cam::HostLibraryLocation, "stratavox", "", any, {}},  // vendor compares exactly
             {cam::HostLibraryLocation, "Stratavox", "D1", any, {"Printer D"}},
             {cam::HostLibraryLocation, "Stratavox", "", cam::FFFMachineTechnology, {"Printer A"}},
             {cam::LocalLibraryLocation, "", "", any, {"Printer C"}},
         }) {
        auto query = machines->createQuery(c.location, c.vendor, c.model);
        query->technology(c.technology);
        Names names;
        for (auto& item : query->execute()) names.push_back(item->name());
        EXPECT_EQ(names, c.expected) << c.location << " '" << c.vendor << "' '" << c.model << "' " << c.technology;
    }
}

}  // namespace
}  // namespace hosttest
