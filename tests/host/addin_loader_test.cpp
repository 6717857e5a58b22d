// The host loads an add-in library with dlopen and calls its entry points;
// the add-in, built with hidden visibility, works on the same host objects.
#include "tests/host/recorders.h"

#ifndef FAKE_ADDIN_PATH
#error "FAKE_ADDIN_PATH must name the test add-in library"
#endif

namespace hosttest {
namespace {

using namespace qrvn;

class AddInLoaderTest : public HostTest {};

TEST_F(AddInLoaderTest, RunAndStopReachTheRunningHost) {
    sim::AddIn addIn;
    ASSERT_TRUE(addIn.load(FAKE_ADDIN_PATH)) << addIn.error();
    ASSERT_TRUE(addIn.run());
    EXPECT_TRUE(sim::findDefinition("FakeAddInCommand"));
    auto doc = sim::newDocument("A");
    auto seen = doc->attributes()->itemByName("FakeAddIn", "seen");
    ASSERT_TRUE(seen) << "the add-in's handler got the document and cast it";
    EXPECT_EQ(seen->value(), "1");
    ASSERT_TRUE(addIn.stop());
    EXPECT_FALSE(sim::findDefinition("FakeAddInCommand"));
    EXPECT_EQ(app()->documentCreated()->handlerCount(), 0u);
    addIn.unload();
    EXPECT_FALSE(addIn.isLoaded());

    sim::AddIn missing;
    EXPECT_FALSE(missing.load("/nonexistent/libnothing.so"));
    EXPECT_FALSE(missing.error().empty());
    EXPECT_FALSE(missing.run());
}

class WithoutUserInterfaceTest : public HostTest {
protected:
    WithoutUserInterfaceTest() : HostTest(sim::HostOptions{true, false}) {}
};

TEST_F(WithoutUserInterfaceTest, DocumentsWorkAndTheAddInDeclinesToRun) {
    ASSERT_TRUE(app());
    EXPECT_FALSE(app()->userInterface());
    EventLog log;
    HostEventRecorders recorders(log);
    auto doc = sim::newDocument("A");
    EXPECT_EQ(log, (EventLog{"created:A", "activating:A", "activated:A"}));
    EXPECT_TRUE(doc->isActive());

    sim::AddIn addIn;
    ASSERT_TRUE(addIn.load(FAKE_ADDIN_PATH)) << addIn.error();
    EXPECT_FALSE(addIn.run());
    EXPECT_TRUE(addIn.stop());
}

}  // namespace
}  // namespace hosttest
