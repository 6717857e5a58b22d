// What no add-in test would notice going wrong in the simulated host: an add-in
// built with hidden visibility, loaded with dlopen, still works on the host's
// objects; a throwing handler does not take the host or the other handlers
// down; a JPEG that cannot be written is a failure, not the end of the
// process. Events, documents, setups and the user interface are driven by
// the framework, Create Setup and Stratavox tests.
#include <stdexcept>

#include "tests/host/host_test.h"

#ifndef FAKE_ADDIN_PATH
#error "FAKE_ADDIN_PATH must name the test add-in library"
#endif

namespace hosttest {
namespace {

using namespace qrvn;

TEST_F(HostTest, AnAddInWithHiddenVisibilityRunsAndStopsOnTheRunningHost) {
    sim::AddIn addIn;
    ASSERT_TRUE(addIn.load(FAKE_ADDIN_PATH)) << addIn.error();
    ASSERT_TRUE(addIn.run());
    EXPECT_TRUE(sim::findDefinition("FakeAddInCommand"));
    auto seen = sim::newDocument("A")->attributes()->itemByName("FakeAddIn", "seen");
    ASSERT_TRUE(seen) << "the add-in's handler got the document and cast it";
    EXPECT_EQ(seen->value(), "1");
    ASSERT_TRUE(addIn.stop());
    EXPECT_FALSE(sim::findDefinition("FakeAddInCommand"));
    EXPECT_EQ(app()->documentCreated()->handlerCount(), 0u);
    addIn.unload();

    sim::AddIn missing;
    EXPECT_FALSE(missing.load("/nonexistent/libnothing.so"));
    EXPECT_FALSE(missing.error().empty());
    EXPECT_FALSE(missing.run());
}

TEST_F(HostTest, AThrowingHandlerIsRecordedAndTheNextHandlerStillRuns) {
    struct Throwing : core::DocumentEventHandler {
        void notify(const core::Ptr<core::DocumentEventArgs>&) override { throw std::runtime_error("boom"); }
    } throwing;
    struct Counting : core::DocumentEventHandler {
        void notify(const core::Ptr<core::DocumentEventArgs>&) override { ++calls; }
        int calls = 0;
    } after;
    app()->documentCreated()->add(&throwing);
    app()->documentCreated()->add(&after);
    EXPECT_NO_THROW(sim::newDocument("A"));
    EXPECT_EQ(after.calls, 1);
    EXPECT_EQ(sim::handlerFailures(), (std::vector<std::string>{"documentCreated: boom"}));
    app()->documentCreated()->remove(&throwing);
    app()->documentCreated()->remove(&after);
}

// A picture that decodes is checked where the upload sends it as the thumbnail.
TEST_F(HostTest, AViewImageThatCannotBeWrittenIsAFailureNotTheEndOfTheProcess) {
    sim::newDocument("A");
    EXPECT_FALSE(app()->activeView()->saveImage("/nonexistent-dir/t.jpg", 80, 60));
}

}  // namespace
}  // namespace hosttest
