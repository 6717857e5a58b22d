// The scenes the framework benchmarks time: the instances they claim exist,
// and one tick reaches each of them.
#include <gtest/gtest.h>

#include <filesystem>

#include "bench/framework_scene.h"
#include "tests/support/scratch.h"

namespace bench {
namespace {

class FrameworkSceneTest : public ::testing::Test {
protected:
    FrameworkSceneTest() : appData("APPDATA", scratch.path()) { std::filesystem::create_directories(logFolder()); }

    std::string logFolder() const { return scratch / "Quorvane/Quorvane Kalvix/EXMI-AddIns"; }
    std::string log() const { return testing_support::readWholeFile(logFolder() + "/EXMI.log"); }

    testing_support::ScratchFolder scratch;
    testing_support::EnvironmentOverride appData;
};

TEST_F(FrameworkSceneTest, OneInstancePerSetupAndOneBeatForEachPerTick) {
    FrameworkScene scene(2, 3);
    scene.make();
    scene.run();
    EXPECT_EQ(6u, scene.instanceCount());
    const uint64_t before = scene.beats();
    scene.tick();
    const uint64_t delta = scene.beats() - before;
    // The heartbeat thread's own beat may have been queued as well.
    EXPECT_GE(delta, 6u);
    EXPECT_EQ(0u, delta % 6);
    scene.stopAndRelease();
    const uint64_t after = scene.beats();
    scene.make();
    scene.run();
    EXPECT_EQ(6u, scene.instanceCount());  // made again for the same documents
    scene.stopAndRelease();
    EXPECT_EQ(after, scene.beats());
}

TEST_F(FrameworkSceneTest, WithoutDocumentsATickReachesNoMachineAndTheDestructorStopsTheFramework) {
    {
        FrameworkScene empty(0, 0);
        empty.make();
        empty.run();
        EXPECT_EQ(0u, empty.instanceCount());
        empty.tick();
        EXPECT_EQ(0u, empty.beats());
        EXPECT_NE(std::string::npos, log().find("EXMIimpl::onHeartBeat | \r\n"));
    }
    EXPECT_NE(std::string::npos, log().find("Stopped Heart Beat"));

    FrameworkScene scene(1, 1);
    EXPECT_THROW(scene.run(), std::logic_error);  // not made yet
    EXPECT_THROW(scene.tick(), std::logic_error);
}

}  // namespace
}  // namespace bench
