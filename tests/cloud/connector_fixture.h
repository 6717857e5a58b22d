#pragma once
// Fixture for connector tests: a fresh cloud emulator on an ephemeral
// loopback port (started in SetUp, stopped in TearDown), the service
// variables pointing at it, a log folder under a temporary APPDATA, a request
// handler pumped by the test thread and a connector whose listener records
// everything it is told.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cloud/stratavox_connector.h"
#include "emulator/emulator.h"
#include "exmi/async_handler.h"

namespace cloudtest {

class RecordingListener : public EXMIImpl::IStratavoxURLInterface {
public:
    void setScreen(int32_t screen, const std::string& text) override {
        screens.emplace_back(screen, text);
    }
    void setProjectList(const std::shared_ptr<EXMIImpl::CStratavoxFabriqoProjectList>& list,
                        const std::string& currentProjectId) override {
        lists.emplace_back(list, currentProjectId);
    }
    void onSignedOut() override { ++signedOut; }
    void clear() {
        screens.clear();
        lists.clear();
    }

    std::vector<std::pair<int32_t, std::string>> screens;
    std::vector<std::pair<std::shared_ptr<EXMIImpl::CStratavoxFabriqoProjectList>, std::string>>
        lists;
    int signedOut = 0;
};

using Screens = std::vector<std::pair<int32_t, std::string>>;

class ConnectorTest : public ::testing::Test {
protected:
    static const char* const kClientId;
    static const char* const k3mfType;

    void SetUp() override;
    void TearDown() override;

    std::unique_ptr<EXMIImpl::CStratavoxFabriqoConnector> makeConnector(
        EXMIImpl::IStratavoxURLInterface* listener);
    bool pumpUntil(const std::function<bool()>& condition,
                   std::chrono::milliseconds limit = std::chrono::seconds(30));
    // Until every submitted request has been dispatched.
    bool drain();
    // Asks the emulator to sign in at the connector's authorize address and
    // returns the redirect address it answers with.
    std::string authorizeRedirect();
    // Redirect, token exchange, first project list; true when signed in.
    bool signIn();
    // Waits for the next screen after `count` screens were seen.
    bool waitForScreens(size_t count);

    std::vector<emulator::RecordedRequest> requestsTo(const std::string& method,
                                                      const std::string& path) const;
    std::string writeTempFile(const std::string& name, const std::string& bytes);
    std::string logText() const;
    std::string encode(const std::string& text) const;
    std::string scopeText() const;

    std::unique_ptr<emulator::CloudEmulator> cloud;
    std::shared_ptr<EXMI::IAsyncHandler> handler;
    RecordingListener listener;
    std::unique_ptr<EXMIImpl::CStratavoxFabriqoConnector> connector;
    std::string tempFolder;
    std::string logPath;
    const std::string userAgent = "Fabriqo for Quorvane Kalvix / 2 / Jan  1 2024";
};

// A small decodable JPEG of the given size.
std::string makeJpeg(int width, int height);
std::string randomBytes(size_t count, unsigned seed);

}  // namespace cloudtest
