// Workspaces and the design tree: workspace events in the host's order,
// tabs and panels removed with what they own, and occurrences of components.
#include "tests/host/recorders.h"

namespace hosttest {
namespace {

using namespace qrvn;

class WorkspacesTest : public HostTest {};

TEST_F(WorkspacesTest, SwitchingFiresPreEventsThenDeactivatedAndActivated) {
    auto doc = sim::newDocument("A");
    EventLog log;
    HostEventRecorders recorders(log);
    auto cam = ui()->workspaces()->itemById("CAMEnvironment");
    ASSERT_TRUE(cam->activate());
    EXPECT_EQ(log, (EventLog{"wsPreDeactivate:KalvixSolidEnvironment", "wsPreActivate:CAMEnvironment",
                             "wsDeactivated:KalvixSolidEnvironment", "wsActivated:CAMEnvironment"}));
    EXPECT_TRUE(cam->isActive());
    EXPECT_EQ(ui()->activeWorkspace(), cam);
    EXPECT_EQ(app()->activeProduct(), camOf(doc));
    log.clear();
    ASSERT_TRUE(cam->activate());
    EXPECT_TRUE(log.empty()) << "the active workspace is not entered again";
    EXPECT_FALSE(ui()->workspaces()->itemById("camenvironment")) << "workspace ids are case-sensitive";
}

TEST_F(WorkspacesTest, WorkspaceFailureCanBeScripted) {
    sim::newDocument("A");
    sim::failOperation("Workspace::activate", 1, "busy");
    EXPECT_FALSE(sim::activateWorkspace("CAMEnvironment"));
    EXPECT_FALSE(camOf(app()->activeDocument())) << "a failed switch creates nothing";
    EXPECT_TRUE(sim::activateWorkspace("CAMEnvironment"));
}

TEST_F(WorkspacesTest, RemovingATabInvalidatesItsPanelsAndControls) {
    auto tab = sim::findTab("FormTab");
    ASSERT_TRUE(tab);
    auto panel = tab->toolbarPanels()->add("3dPrintPanel_Form", "3D Print", "", true);
    auto definition = ui()->commandDefinitions()->addButtonDefinition("C", "C", "", "");
    auto control = panel->controls()->addCommand(definition, "", false);
    ASSERT_TRUE(sim::removeTab("FormTab"));
    EXPECT_FALSE(tab->isValid());
    EXPECT_FALSE(panel->isValid());
    EXPECT_FALSE(control->isValid());
    EXPECT_FALSE(ui()->allToolbarTabs()->itemById("FormTab"));
    EXPECT_FALSE(ui()->allToolbarPanels()->itemById("3dPrintPanel_Form"));
    EXPECT_TRUE(definition->isValid()) << "definitions belong to the registry, not to the toolbar";
    EXPECT_TRUE(sim::addTab("KalvixSolidEnvironment", "FormTab", "Form"));
    EXPECT_FALSE(sim::addTab("KalvixSolidEnvironment", "SolidTab", "Again"));
}

TEST_F(WorkspacesTest, WorkspacePanelsListEveryTabsPanels) {
    auto workspace = ui()->workspaces()->itemById("CAMEnvironment");
    auto panels = workspace->toolbarPanels();
    size_t total = 0;
    auto tabs = workspace->toolbarTabs();
    for (size_t i = 0; i < tabs->count(); ++i) total += tabs->item(i)->toolbarPanels()->count();
    EXPECT_EQ(panels->count(), total);
    EXPECT_TRUE(panels->itemById("CAMAdditiveJobPanel"));
    EXPECT_FALSE(panels->itemById("SolidCreatePanel")) << "design panels are not in manufacturing";
}

TEST_F(WorkspacesTest, OccurrencesOfOneComponentAreNumbered) {
    auto doc = sim::newDocument("Assembly");
    sim::setDesign(doc, {"", {}, {}, {{"Bolt", {"Shaft"}, {}, {}}, {"Bolt", {"Shaft"}, {}, {}}}});
    auto root = doc->design()->rootComponent();
    EXPECT_EQ(root->name(), "Assembly");
    ASSERT_EQ(root->occurrences()->count(), 2u);
    EXPECT_EQ(root->occurrences()->item(0)->name(), "Bolt:1");
    EXPECT_TRUE(root->occurrences()->itemByName("Bolt:1"));
    EXPECT_FALSE(root->occurrences()->item(2));
    auto body = root->occurrences()->item(0)->bRepBodies()->item(0);
    EXPECT_EQ(body->parentComponent(), root->occurrences()->item(0)->component());
}

}  // namespace
}  // namespace hosttest
