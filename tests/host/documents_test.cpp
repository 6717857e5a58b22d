// Documents keep their attributes, design and setups through save and open,
// get a manufacturing product only when the manufacturing workspace is
// entered, and the host can run without application or user interface.
#include "tests/host/recorders.h"

namespace hosttest {
namespace {

using namespace qrvn;

class DocumentsTest : public HostTest {};

TEST_F(DocumentsTest, AttributesAreUpdatedInPlaceAndTravelWithSavedCopies) {
    auto original = sim::newDocument("Bracket");
    auto attributes = original->attributes();
    EXPECT_FALSE(attributes->itemByName("EXMI", "DocumentUUID"));
    ASSERT_TRUE(attributes->add("EXMI", "DocumentUUID", "0123"));
    auto found = original->attributes()->itemByName("EXMI", "DocumentUUID");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->value(), "0123");
    EXPECT_TRUE(found->value("4567"));
    EXPECT_EQ(original->attributes()->itemByName("EXMI", "DocumentUUID")->value(), "4567");
    EXPECT_FALSE(original->attributes()->itemByName("exmi", "DocumentUUID")) << "group names are case-sensitive";
    original->attributes()->add("EXMI", "DocumentUUID", "uuid-1");
    EXPECT_EQ(original->attributes()->count(), 1u) << "adding an existing name sets its value";
    EXPECT_EQ(found->value(), "uuid-1");

    auto saved = sim::saveDocument(original);
    found->value("changed");  // after saving: not in the saved file
    auto first = sim::openDocument(saved);
    auto second = sim::openDocument(saved);
    auto copy = sim::newDocumentFrom(saved, "Bracket v2");
    EXPECT_EQ(app()->documents()->count(), 4u);
    for (auto& doc : {first, second, copy}) {
        auto attribute = doc->attributes()->itemByName("EXMI", "DocumentUUID");
        ASSERT_TRUE(attribute);
        EXPECT_EQ(attribute->value(), "uuid-1");
    }
    EXPECT_EQ(first->name(), "Bracket");
    first->attributes()->itemByName("EXMI", "DocumentUUID")->value("uuid-2");
    EXPECT_EQ(second->attributes()->itemByName("EXMI", "DocumentUUID")->value(), "uuid-1")
        << "the copies are independent documents";
    EXPECT_TRUE(found->deleteMe());
    EXPECT_FALSE(original->attributes()->itemByName("EXMI", "DocumentUUID"));
}

TEST_F(DocumentsTest, SavedDocumentKeepsDesignAndSetups) {
    auto doc = sim::newDocument("A");
    sim::setDesign(doc, {"", {"Body1"}, {}, {{"Part", {"Body2"}, {"Mesh1"}, {}}}});
    auto machine = sim::addMachine(printer("m1", "Printer", "Stratavox"));
    auto setup = sim::addSetup(doc, "Setup1", machine);
    auto copy = sim::openDocument(sim::saveDocument(doc));
    auto cam = camOf(copy);
    ASSERT_TRUE(cam);
    ASSERT_EQ(cam->setups()->count(), 1u);
    auto copied = cam->setups()->item(0);
    EXPECT_NE(copied, setup);
    EXPECT_EQ(copied->name(), "Setup1");
    EXPECT_EQ(copied->operationId(), setup->operationId());
    EXPECT_EQ(copied->machine(), machine) << "library machines are shared, not copied";
    EXPECT_TRUE(copied->isActive());
    auto root = copy->design()->rootComponent();
    EXPECT_EQ(root->bRepBodies()->count(), 1u);
    ASSERT_EQ(root->occurrences()->count(), 1u);
    EXPECT_EQ(root->occurrences()->item(0)->component()->meshBodies()->item(0)->name(), "Mesh1");
}

TEST_F(DocumentsTest, CastsFollowTheHostClassTypes) {
    auto doc = sim::newDocument("A");
    Ptr<core::Document> asDocument = doc;
    EXPECT_EQ(std::string(asDocument->objectType()), "qrvn::kalvix::KalvixDocument");
    EXPECT_EQ(asDocument.query<kalvix::KalvixDocument>(), doc);
    EXPECT_EQ(core::query<core::Base>(asDocument).get(), static_cast<core::Base*>(doc.get()));
    EXPECT_FALSE(asDocument.query<cam::CAM>());
    EXPECT_FALSE(Ptr<core::Document>().query<kalvix::KalvixDocument>());
    auto design = doc->products()->itemByProductType("DesignProductType");
    EXPECT_TRUE(design.query<kalvix::Design>());
    EXPECT_FALSE(design.query<cam::CAM>());
}

TEST_F(DocumentsTest, ManufacturingProductAppearsWhenTheWorkspaceIsFirstEntered) {
    EXPECT_FALSE(sim::activateWorkspace("CAMEnvironment")) << "manufacturing needs a document";
    std::string error;
    EXPECT_EQ(app()->getLastError(&error), core::BadApiCallError);
    EXPECT_NE(error.find("CAMEnvironment"), std::string::npos);
    EXPECT_EQ(sim::activeWorkspaceId(), "KalvixSolidEnvironment");

    auto doc = sim::newDocument("A");
    EXPECT_FALSE(doc->products()->itemByProductType("CAMProductType"));
    EXPECT_EQ(doc->products()->count(), 1u);
    sim::failOperation("Workspace::activate", 1, "busy");
    EXPECT_FALSE(sim::activateWorkspace("CAMEnvironment"));
    EXPECT_FALSE(camOf(doc)) << "a failed switch creates nothing";

    struct Probe : core::WorkspaceEventHandler {
        bool hadCam = false;
        void notify(const Ptr<core::WorkspaceEventArgs>&) override {
            hadCam = static_cast<bool>(camOf(core::Application::get()->activeDocument()));
        }
    } probe;
    ui()->workspaceActivated()->add(&probe);
    ASSERT_TRUE(sim::activateWorkspace("CAMEnvironment"));
    ui()->workspaceActivated()->remove(&probe);
    EXPECT_TRUE(probe.hadCam) << "the product exists by the time workspaceActivated is delivered";
    auto cam = camOf(doc);
    ASSERT_TRUE(cam);
    EXPECT_EQ(cam->parentDocument(), doc);
    ASSERT_TRUE(sim::activateWorkspace("KalvixSolidEnvironment"));
    ASSERT_TRUE(sim::activateWorkspace("CAMEnvironment"));
    EXPECT_EQ(camOf(doc), cam) << "entering again keeps the same product";
}

TEST_F(DocumentsTest, ScriptedFailuresReturnEmptyAndSetTheLastError) {
    auto doc = sim::newDocument("A");
    sim::failOperation("Document::attributes", 1, "attributes unavailable");
    EXPECT_FALSE(doc->attributes());
    std::string error;
    EXPECT_EQ(app()->getLastError(&error), core::OperationFailedError);
    EXPECT_EQ(error, "attributes unavailable");
    EXPECT_TRUE(doc->attributes()) << "the failure was scripted for one call";
    sim::failOperation("Document::products");
    EXPECT_FALSE(doc->products());
    EXPECT_FALSE(doc->products());
    sim::clearFailures();
    EXPECT_TRUE(doc->products());
}

class NoApplicationTest : public HostTest {
protected:
    NoApplicationTest() : HostTest(sim::HostOptions{false, false}) {}
};

TEST_F(NoApplicationTest, ApplicationAndCamManagerAreEmpty) {
    EXPECT_FALSE(core::Application::get());
    EXPECT_FALSE(cam::CAMManager::get());
    EXPECT_THROW(sim::newDocument("A"), std::logic_error);
}

}  // namespace
}  // namespace hosttest
