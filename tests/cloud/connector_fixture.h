#pragma once
// Fixture for connector tests: the emulator fixture's fresh cloud emulator,
// the service variables pointing at it, a log folder under a temporary
// APPDATA, a request handler pumped by the test thread and a connector whose
// listener records everything it is told. Runs on the test thread; only the
// handler's workers and the emulator have threads of their own.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "cloud/stratavox_connector.h"
#include "net/async_handler.h"
#include "tests/emulator/emulator_fixture.h"
#include "tests/support/scratch.h"

namespace cloudtest {

class RecordingListener : public EXMIImpl::IStratavoxURLInterface {
public:
    void setScreen(int32_t screen, const std::string& text) override { screens.emplace_back(screen, text); }
    // Recorded as screen 6 with its text, and whole.
    void showFailure(const EXMIImpl::CloudFailure& failure) override {
        screens.emplace_back(kScreenError, failure.message);
        failures.push_back(failure);
    }
    void setProjectList(const std::shared_ptr<EXMIImpl::CStratavoxFabriqoProjectList>& list,
                        const std::string& currentProjectId) override {
        lists.emplace_back(list, currentProjectId);
    }
    void onSignedOut() override { ++signedOut; }
    void onUploadProgress(const std::string& phase, uint64_t sent, uint64_t total, uint64_t rate) override {
        if (progress.empty()) std::this_thread::sleep_for(slowFirstProgress);  // a page busy with the first
        progress.push_back({phase, sent, total, rate, std::chrono::steady_clock::now()});
    }
    void clear() {
        screens.clear();
        failures.clear();
        lists.clear();
        signedOut = 0;
    }

    static constexpr int32_t kScreenError = 6;

    struct Progress {
        std::string phase;
        uint64_t sent, total, rate;
        std::chrono::steady_clock::time_point at;
    };

    std::vector<std::pair<int32_t, std::string>> screens;
    std::vector<Progress> progress;
    std::vector<EXMIImpl::CloudFailure> failures;
    std::vector<std::pair<std::shared_ptr<EXMIImpl::CStratavoxFabriqoProjectList>, std::string>> lists;
    int signedOut = 0;
    std::chrono::milliseconds slowFirstProgress{0};
};

using Screens = std::vector<std::pair<int32_t, std::string>>;

class ConnectorTest : public emulator_test::EmulatorTest {
protected:
    static constexpr const char* kClientId = emulator_test::kClientId;
    static constexpr const char* kScopes = emulator_test::kScopes;
    static constexpr const char* k3mfType = "application/vnd.ms-package.3dmanufacturing-3dmodel+xml";

    void SetUp() override;
    void TearDown() override;

    // A connector with the client's scopes, telling `to`.
    std::unique_ptr<EXMIImpl::CStratavoxFabriqoConnector> makeConnector(EXMIImpl::IStratavoxURLInterface* to);

    bool pumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(30));
    // Until every submitted request has been dispatched.
    bool drain();
    // Asks the emulator to sign in at the connector's authorize address and
    // returns the redirect address it answers with.
    std::string authorizeRedirect();
    // Redirect, token exchange, first project list; true when signed in.
    bool signIn();
    bool waitForScreens(size_t count);
    // A heartbeat's refresh: true when one went out and its answer is in.
    bool refreshNow();

    std::vector<emulator::RecordedRequest> requestsTo(const std::string& method, const std::string& path) const;
    std::string writeTempFile(const std::string& name, const std::string& bytes);
    std::string logText() const;

    using Variable = testing_support::EnvironmentOverride;
    Variable account{"STRATAVOX_ACCOUNT_SERVER"}, api{"STRATAVOX_API_BASE"}, webApp{"STRATAVOX_WEB_APP"},
        redirect{"STRATAVOX_REDIRECT_URI"}, ca{"STRATAVOX_CA_BUNDLE"};
    testing_support::ScratchFolder temp;
    const std::string tempFolder = temp.path();
    Variable appData{"APPDATA", tempFolder};
    const std::string logPath = tempFolder + "/Quorvane/Quorvane Kalvix/EXMI-AddIns/EXMI.log";
    std::shared_ptr<EXMI::IAsyncHandler> handler;
    RecordingListener listener;
    std::unique_ptr<EXMIImpl::CStratavoxFabriqoConnector> connector;
    const std::string userAgent = "Fabriqo for Quorvane Kalvix / 2 / Jan  1 2024";
};

}  // namespace cloudtest
