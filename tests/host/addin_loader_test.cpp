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
}

TEST_F(AddInLoaderTest, MissingLibraryOrEntryPointsAreReported) {
    sim::AddIn addIn;
    EXPECT_FALSE(addIn.load("/nonexistent/libnothing.so"));
    EXPECT_FALSE(addIn.error().empty());
    EXPECT_FALSE(addIn.run());
}

class AddInWithoutUserInterfaceTest : public HostTest {
protected:
    AddInWithoutUserInterfaceTest() : HostTest(sim::HostOptions{true, false}) {}
};

TEST_F(AddInWithoutUserInterfaceTest, RunSeesNoUserInterface) {
    sim::AddIn addIn;
    ASSERT_TRUE(addIn.load(FAKE_ADDIN_PATH)) << addIn.error();
    EXPECT_FALSE(addIn.run());
    EXPECT_TRUE(addIn.stop());
}

}  // namespace
}  // namespace hosttest
