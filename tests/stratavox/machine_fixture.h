#pragma once
// Fixture with one StratavoxMachine for the setup "Setup1" of "Bracket",
// made through the vendor factory and activated (its buttons are in the
// toolbar). The service addresses point at a closed loopback port unless a
// test starts the cloud emulator (CloudMachineTest), so nothing ever leaves
// this machine. The test thread plays the host's UI thread and calls the
// machine's heartbeat itself where a test needs one.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "emulator/emulator.h"
#include "exmi/machine_definition.h"
#include "stratavox/stratavox_machine.h"
#include "tests/emulator/emulator_fixture.h"
#include "tests/stratavox/vendor_fixture.h"

namespace vendor_test {

// The upload form as the page sends it, into a new or an existing project.
inline std::string form(const std::string& projectField, const std::string& uploadType) {
    return "{" + projectField + R"(,"uploadType":")" + uploadType +
           R"(","printcoreOne":"AA 0.4","materialOne":"PLA","printcoreTwo":"BB 0.8","materialTwo":"PVA"})";
}
inline const char* const kNewProject = R"("projectName":"Brackets","projectDescription":"Rev A")";
inline std::string existingProject(const std::string& id) { return R"("projectID":")" + id + "\""; }

inline EXMI::MachineDefinition vendorDefinition() {
    EXMI::MachineDefinition definition;
    definition.name = "Stratavox Machine";
    definition.vendors = {"Stratavox"};
    definition.factory = &makeStratavoxMachine;
    return definition;
}

class MachineTest : public ::testing::Test {
protected:
    void SetUp() override {
        startServices();
        if (HasFatalFailure()) return;
        host.openBracket(printerSpec());
        machine = std::static_pointer_cast<StratavoxMachine>(
            makeStratavoxMachine(host.uuid, host.setup->operationId(), vendorDefinition()));
        ASSERT_TRUE(machine);
        machine->activate();
    }

    // Before the machine: its connector reads the addresses when it is made.
    virtual void startServices() { useAddresses("https://127.0.0.1:9", ""); }

    void TearDown() override {
        if (machine) {
            // No worker may outlive the test's services.
            EXPECT_TRUE(heartbeatUntil([this] { return machine->getAsyncHandler()->pendingCount() == 0; }));
        }
        machine.reset();
        EXPECT_TRUE(qrvn::sim::handlerFailures().empty());
    }

    virtual qrvn::sim::MachineSpec printerSpec() const { return stratavoxPrinter(); }

    void useAddresses(const std::string& origin, const std::string& caBundle) {
        account.set(origin);
        api.set(origin + "/plyx/v1");
        webApp.set(origin + "/app/library/");
        redirect.set(origin + "/stratavox/");
        if (caBundle.empty()) ca.unset();
        else ca.set(caBundle);
    }

    StratavoxPalette& palette() { return *machine->getPalette(); }
    EXMIImpl::CStratavoxFabriqoConnector& connector() { return *palette().getConnector(); }

    // Presses the upload button and forgets what the page was sent so far.
    void openPalette() {
        ASSERT_TRUE(qrvn::sim::pressControl(kUploadId));
        ASSERT_TRUE(qrvn::sim::findPalette(kPaletteId));
        qrvn::sim::clearMessagesToPage(kPaletteId);
    }

    static void fromPage(const std::string& action, const std::string& json = "{}") {
        qrvn::sim::sendFromPage(kPaletteId, action, json);
    }

    static std::string pageAddress() {
        Ptr<qrvn::core::Palette> open = qrvn::sim::findPalette(kPaletteId);
        return open ? open->pageURL() : std::string();
    }

    bool heartbeatUntil(const std::function<bool()>& condition,
                        std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        return pumpUntil(
            condition, [this] { machine->onHeartBeat(); }, limit);
    }

    testing_support::EnvironmentOverride account{"STRATAVOX_ACCOUNT_SERVER"};
    testing_support::EnvironmentOverride api{"STRATAVOX_API_BASE"};
    testing_support::EnvironmentOverride webApp{"STRATAVOX_WEB_APP"};
    testing_support::EnvironmentOverride redirect{"STRATAVOX_REDIRECT_URI"};
    testing_support::EnvironmentOverride ca{"STRATAVOX_CA_BUNDLE"};
    VendorHost host;
    std::shared_ptr<StratavoxMachine> machine;  // goes before the host
};

// The same with the cloud emulator on an ephemeral loopback port, started
// before the machine and stopped after it.
class CloudMachineTest : public MachineTest {
protected:
    void startServices() override {
        cloud = std::make_unique<emulator::CloudEmulator>();
        ASSERT_TRUE(cloud->start()) << cloud->lastError();
        emulator_test::forgetKeptSignIn(*cloud);
        useAddresses(cloud->accountServer(), cloud->caBundlePath());
    }

    void TearDown() override {
        MachineTest::TearDown();
        if (cloud) cloud->stop();
    }

    // Signs in at the page the palette shows, follows the redirect and lets
    // the local page load and say so; no heartbeat, so the token's answer is
    // not dispatched yet.
    void followSignIn() {
        const std::string redirectAddress = redirectAfterSignIn();
        ASSERT_FALSE(redirectAddress.empty());
        ASSERT_TRUE(qrvn::sim::navigatePalette(kPaletteId, redirectAddress));
        ASSERT_TRUE(pumpUntil([] { return pageAddress() == "resources_html/index.html"; }, nullptr));
        fromPage("apploaded");
    }

    // Opens the palette, signs in and waits for the first project list.
    void signIn() {
        openPalette();
        followSignIn();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(heartbeatUntil([] { return !messagesNamed("projectlist").empty(); }))
            << ::testing::PrintToString(screens());
        ASSERT_TRUE(connector().isSignedIn());
        qrvn::sim::clearMessagesToPage(kPaletteId);
    }

    // Signs "tester" in at the palette's sign-in page; the address the
    // account server then sends the palette to (empty on failure).
    std::string redirectAfterSignIn() {
        std::string error;
        const std::string address = cloud->authorizeDirect(pageAddress(), "tester", &error);
        EXPECT_FALSE(address.empty()) << error;
        return address;
    }

    // Results reach the page as soon as their worker wakes the UI thread:
    // no heartbeat is needed between an answer and the screen it leads to.
    static bool waitForResult() { return pumpUntil(resultShown, nullptr); }

    std::unique_ptr<emulator::CloudEmulator> cloud;
};

}  // namespace vendor_test
