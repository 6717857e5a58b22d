// Documents keep their attributes through save and open, get a
// manufacturing product only when the manufacturing workspace is entered,
// and the host can run without application or without user interface.
#include "tests/host/recorders.h"

namespace hosttest {
namespace {

using namespace qrvn;

class DocumentsTest : public HostTest {};

TEST_F(DocumentsTest, AttributesAreAddedFoundAndUpdated) {
    auto doc = sim::newDocument("A");
    auto attributes = doc->attributes();
    EXPECT_FALSE(attributes->itemByName("EXMI", "DocumentUUID"));
    auto added = attributes->add("EXMI", "DocumentUUID", "0123");
    ASSERT_TRUE(added);
    auto found = doc->attributes()->itemByName("EXMI", "DocumentUUID");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->value(), "0123");
    EXPECT_TRUE(found->value("4567"));
    EXPECT_EQ(doc->attributes()->itemByName("EXMI", "DocumentUUID")->value(), "4567");
    EXPECT_FALSE(doc->attributes()->itemByName("exmi", "DocumentUUID")) << "group names are case-sensitive";
    // Adding an existing group/name sets its value instead of duplicating it.
    doc->attributes()->add("EXMI", "DocumentUUID", "89ab");
    EXPECT_EQ(doc->attributes()->count(), 1u);
    EXPECT_EQ(found->value(), "89ab");
    EXPECT_TRUE(found->deleteMe());
    EXPECT_FALSE(doc->attributes()->itemByName("EXMI", "DocumentUUID"));
}

TEST_F(DocumentsTest, AttributesPersistAcrossSaveAndOpen) {
    auto original = sim::newDocument("Bracket");
    original->attributes()->add("EXMI", "DocumentUUID", "uuid-1");
    auto saved = sim::saveDocument(original);
    // Changes after saving are not in the saved file.
    original->attributes()->itemByName("EXMI", "DocumentUUID")->value("changed");

    auto first = sim::openDocument(saved);
    auto second = sim::openDocument(saved);
    EXPECT_EQ(app()->documents()->count(), 3u);
    for (auto& doc : {first, second}) {
        EXPECT_EQ(doc->name(), "Bracket");
        auto attribute = doc->attributes()->itemByName("EXMI", "DocumentUUID");
        ASSERT_TRUE(attribute);
        EXPECT_EQ(attribute->value(), "uuid-1");
    }
    // The copies are independent documents.
    first->attributes()->itemByName("EXMI", "DocumentUUID")->value("uuid-2");
    EXPECT_EQ(second->attributes()->itemByName("EXMI", "DocumentUUID")->value(), "uuid-1");
}

TEST_F(DocumentsTest, NewDocumentFromACopyIsCreatedWithTheCopiedAttributes) {
    auto original = sim::newDocument("Bracket");
    original->attributes()->add("EXMI", "DocumentUUID", "uuid-1");
    EventLog log;
    HostEventRecorders recorders(log);
    auto copy = sim::newDocumentFrom(sim::saveDocument(original), "Bracket v2");
    EXPECT_EQ(log, (EventLog{"deactivating:Bracket", "created:Bracket v2", "activating:Bracket v2",
                             "deactivated:Bracket", "activated:Bracket v2"}));
    EXPECT_EQ(copy->attributes()->itemByName("EXMI", "DocumentUUID")->value(), "uuid-1");
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
    auto doc = sim::newDocument("A");
    EXPECT_FALSE(doc->products()->itemByProductType("CAMProductType"));
    EXPECT_EQ(doc->products()->count(), 1u);

    // The product exists by the time workspaceActivated is delivered.
    struct Probe : core::WorkspaceEventHandler {
        bool hadCam = false;
        void notify(const Ptr<core::WorkspaceEventArgs>&) override {
            hadCam = static_cast<bool>(camOf(core::Application::get()->activeDocument()));
        }
    } probe;
    ui()->workspaceActivated()->add(&probe);
    ASSERT_TRUE(sim::activateWorkspace("CAMEnvironment"));
    ui()->workspaceActivated()->remove(&probe);
    EXPECT_TRUE(probe.hadCam);
    auto cam = camOf(doc);
    ASSERT_TRUE(cam);
    EXPECT_EQ(cam->parentDocument(), doc);
    ASSERT_TRUE(sim::activateWorkspace("KalvixSolidEnvironment"));
    ASSERT_TRUE(sim::activateWorkspace("CAMEnvironment"));
    EXPECT_EQ(camOf(doc), cam) << "entering again keeps the same product";
}

TEST_F(DocumentsTest, ManufacturingWorkspaceNeedsADocument) {
    EXPECT_FALSE(sim::activateWorkspace("CAMEnvironment"));
    std::string error;
    EXPECT_EQ(app()->getLastError(&error), core::BadApiCallError);
    EXPECT_NE(error.find("CAMEnvironment"), std::string::npos);
    EXPECT_EQ(sim::activeWorkspaceId(), "KalvixSolidEnvironment");
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

class NoApplicationTest : public HostTest {
protected:
    NoApplicationTest() : HostTest(sim::HostOptions{false, false}) {}
};

TEST_F(NoApplicationTest, ApplicationAndCamManagerAreEmpty) {
    EXPECT_FALSE(core::Application::get());
    EXPECT_FALSE(cam::CAMManager::get());
    EXPECT_THROW(sim::newDocument("A"), std::logic_error);
}

class NoUserInterfaceTest : public HostTest {
protected:
    NoUserInterfaceTest() : HostTest(sim::HostOptions{true, false}) {}
};

TEST_F(NoUserInterfaceTest, DocumentsWorkWithoutUserInterface) {
    ASSERT_TRUE(app());
    EXPECT_FALSE(app()->userInterface());
    EventLog log;
    HostEventRecorders recorders(log);
    auto doc = sim::newDocument("A");
    EXPECT_EQ(log, (EventLog{"created:A", "activating:A", "activated:A"}));
    EXPECT_TRUE(doc->isActive());
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

}  // namespace
}  // namespace hosttest
