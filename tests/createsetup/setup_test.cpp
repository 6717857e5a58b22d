// OK in the dialog: the manufacturing model, the additive setup with the
// chosen printer and print setting, the models collected from the design,
// and the failures the user or the log sees.

#include <string>
#include <vector>

#include "tests/createsetup/fixture.h"

namespace createsetup_test {
namespace {

using qrvn::core::Ptr;
namespace cam = qrvn::cam;
namespace core = qrvn::core;
namespace kalvix = qrvn::kalvix;
namespace sim = qrvn::sim;

const char kNoBodies[] = "The Kalvix document does not contain bodies. No additive setup can be created.";

// "body:", "mesh:" or "occurrence:" followed by the model's name.
std::vector<std::string> describe(const std::vector<Ptr<core::Base>>& models) {
    std::vector<std::string> texts;
    for (const auto& model : models) {
        if (auto body = model.query<kalvix::BRepBody>()) texts.push_back("body:" + body->name());
        else if (auto mesh = model.query<kalvix::MeshBody>()) texts.push_back("mesh:" + mesh->name());
        else if (auto occ = model.query<kalvix::Occurrence>()) texts.push_back("occurrence:" + occ->name());
        else texts.push_back(std::string("other:") + model->objectType());
    }
    return texts;
}

using SetupTest = CreateSetupTest;

TEST_F(SetupTest, CreatesTheSetupForTheChosenPrinterAndSettingAndOpensManufacturing) {
    fillLibraries();
    auto document = simplePart();
    openDialog();
    ASSERT_TRUE(sim::pickDropDownItem(kPrinterInput, "Stratavox S2"));
    ASSERT_TRUE(sim::pickDropDownItem(kSettingsInput, "PLA Bowden Tube 0.2mm"));
    ASSERT_TRUE(sim::okCommand());

    auto camProduct = camOf(document);
    ASSERT_TRUE(camProduct);
    ASSERT_EQ(camProduct->manufacturingModels()->count(), 1u);
    auto model = camProduct->manufacturingModels()->item(0);
    EXPECT_EQ(model->name(), "Manufacturing Model");

    ASSERT_EQ(camProduct->setups()->count(), 1u);
    auto setup = camProduct->setups()->item(0);
    EXPECT_EQ(setup->name(), "Stratavox Setup");
    EXPECT_EQ(setup->operationType(), cam::AdditiveOperation);
    EXPECT_EQ(setup->machine()->id(), "sv-s2");
    EXPECT_EQ(setup->printSetting()->id(), "ps-bowden");
    // A single component stands for itself.
    auto models = setup->models();
    ASSERT_EQ(models.size(), 1u);
    EXPECT_EQ(models[0], model->occurrence());

    EXPECT_EQ(sim::activeWorkspaceId(), "CAMEnvironment");
    EXPECT_TRUE(sim::messageBoxes().empty());
    EXPECT_TRUE(sim::handlerFailures().empty());
    EXPECT_TRUE(log.entries().empty());
}

TEST_F(SetupTest, AssemblyContributesBodiesOfParentsAndLeavesWithBodiesToAnExistingProduct) {
    fillLibraries();
    auto document = sim::newDocument("Assembly");
    sim::ComponentSpec pin{"Pin", {"PinBody"}, {}, {}};
    sim::ComponentSpec hollow{"Hollow", {}, {}, {}};
    sim::ComponentSpec arm{"Arm", {"ArmBody"}, {"ArmMesh"}, {pin, hollow}};
    sim::ComponentSpec cover{"Cover", {}, {"CoverMesh"}, {}};
    sim::ComponentSpec bolt{"Bolt", {"BoltBody"}, {}, {}};
    sim::ComponentSpec frame{"Frame", {}, {}, {bolt}};
    sim::setDesign(document, {"Assembly", {"Base", "Plate"}, {"Scan"}, {arm, cover, frame}});
    auto existing = sim::ensureCamProduct(document);
    openDialog();
    ASSERT_TRUE(sim::okCommand());

    // An existing manufacturing product receives the setup.
    EXPECT_EQ(camOf(document), existing);
    EXPECT_EQ(existing->setups()->count(), 1u);
    EXPECT_EQ(sim::activeWorkspaceId(), "CAMEnvironment");
    auto setup = existing->setups()->itemByName("Stratavox Setup");
    ASSERT_TRUE(setup);
    EXPECT_EQ(describe(setup->models()),
              (std::vector<std::string>{"body:Base", "body:Plate", "mesh:Scan", "body:ArmBody", "mesh:ArmMesh",
                                        "occurrence:Pin:1", "occurrence:Cover:1", "occurrence:Bolt:1"}));
    EXPECT_EQ(setup->machine()->id(), "sv-s1");
    EXPECT_EQ(setup->printSetting()->id(), "ps-pla");
}

TEST_F(SetupTest, DesignWithoutBodiesIsReportedAndKeepsTheManufacturingModel) {
    fillLibraries();
    auto document = sim::newDocument("Empty");
    sim::setDesign(document, {"Empty", {}, {}, {{"Nothing", {}, {}, {}}}});
    openDialog();
    ASSERT_TRUE(sim::okCommand());

    auto boxes = sim::messageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kNoBodies);
    EXPECT_EQ(boxes[0].title, "");
    EXPECT_EQ(boxes[0].buttons, core::OKButtonType);
    EXPECT_EQ(boxes[0].icon, core::NoIconIconType);

    auto camProduct = camOf(document);
    ASSERT_TRUE(camProduct);
    EXPECT_EQ(camProduct->manufacturingModels()->count(), 1u);
    EXPECT_EQ(camProduct->setups()->count(), 0u);
    EXPECT_TRUE(log.entries().empty());
}

TEST_F(SetupTest, EmptyPrinterListMakesOkFailWithALogLine) {
    addPrinter("other-1", "Other One", "Othervendor");
    addSetting("ps-pla", "Stratavox PLA", kVendor);
    auto document = simplePart();
    openDialog();
    EXPECT_TRUE(sim::dropDownItems(kPrinterInput).empty());
    sim::okCommand();

    EXPECT_TRUE(sim::handlerFailures().empty());
    auto camProduct = camOf(document);
    if (camProduct) {
        EXPECT_EQ(camProduct->manufacturingModels()->count(), 0u);
    }
    EXPECT_EQ(log.entries(), (Entries{{"CreateSetup::OnExecuteEventHandler::notify", "Failed no printer selected"}}));
}

TEST_F(SetupTest, RefusedSetupIsLoggedNotReportedAsMissingBodies) {
    fillLibraries();
    auto document = simplePart();
    openDialog();
    sim::failOperation("Setups::add", -1, "setup limit reached");
    sim::okCommand();

    EXPECT_TRUE(sim::messageBoxes().empty());
    EXPECT_EQ(camOf(document)->setups()->count(), 0u);
    // The dialog gave the document its CAM product; a failed OK switches nothing.
    EXPECT_EQ(sim::activeWorkspaceId(), "KalvixSolidEnvironment");
    EXPECT_EQ(log.entries(),
              (Entries{{"CreateSetup::OnExecuteEventHandler::notify", "Failed could not create the setup"}}));
}

}  // namespace
}  // namespace createsetup_test
