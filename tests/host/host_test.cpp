// What no add-in test would notice going wrong in the simulated host: a
// throwing handler does not take the host or the other handlers down; a JPEG
// that cannot be written is a failure, not the end of the process. Loading an
// add-in is driven by the add-in tests; events, documents, setups and the user
// interface by the framework, Create Setup and Stratavox tests.
#include <stdexcept>

#include "tests/host/host_test.h"

namespace hosttest {
namespace {

using namespace qrvn;

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
