#include "tests/cloud/connector_fixture.h"

#include <filesystem>
#include <sstream>

#include "tests/net/pump.h"

namespace cloudtest {

void ConnectorTest::SetUp() {
    EmulatorTest::SetUp();
    if (HasFatalFailure()) return;
    account.set(cloud->accountServer());
    api.set(cloud->apiBase());
    webApp.set(cloud->webApp());
    redirect.set(cloud->redirectUri());
    ca.set(cloud->caBundlePath());
    std::filesystem::create_directories(std::filesystem::path(logPath).parent_path());

    handler = std::make_shared<EXMI::IAsyncHandler>();
    handler->setUserAgent(userAgent);
    connector = makeConnector(&listener);
}

std::unique_ptr<EXMIImpl::CStratavoxFabriqoConnector>
ConnectorTest::makeConnector(EXMIImpl::IStratavoxURLInterface* to) {
    auto made = std::make_unique<EXMIImpl::CStratavoxFabriqoConnector>(kClientId, cloud->redirectUri(), to, handler);
    std::istringstream scopes(kScopes);
    for (std::string scope; scopes >> scope;) made->addScope(scope);
    return made;
}

void ConnectorTest::TearDown() {
    // Every request has come back before the emulator goes.
    if (handler) {
        EXPECT_TRUE(drain());
    }
    connector.reset();
    handler.reset();
    EmulatorTest::TearDown();
}

bool ConnectorTest::pumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    return cloudtest::pumpUntil(*handler, condition, limit);
}

bool ConnectorTest::drain() { return cloudtest::drain(*handler); }

std::string ConnectorTest::authorizeRedirect() {
    std::string error;
    const std::string redirect = cloud->authorizeDirect(connector->getAuthorizeUrl(false), "tester", &error);
    EXPECT_FALSE(redirect.empty()) << error;
    return redirect;
}

bool ConnectorTest::signIn() {
    const size_t before = listener.lists.size();
    connector->handleRedirect(authorizeRedirect());
    return pumpUntil([&] { return listener.lists.size() > before; }) && connector->isSignedIn();
}

bool ConnectorTest::waitForScreens(size_t count) {
    return pumpUntil([&] { return listener.screens.size() >= count; });
}

bool ConnectorTest::refreshNow() {
    connector->refreshTokenIfNeeded();
    return connector->isTokenRequestBusy() && pumpUntil([&] { return !connector->isTokenRequestBusy(); });
}

std::vector<emulator::RecordedRequest> ConnectorTest::requestsTo(const std::string& method,
                                                                 const std::string& path) const {
    std::vector<emulator::RecordedRequest> found;
    for (const auto& request : cloud->requests())
        if (request.method == method && request.path == path) found.push_back(request);
    return found;
}

std::string ConnectorTest::writeTempFile(const std::string& name, const std::string& bytes) {
    const std::string path = tempFolder + "/" + name;
    testing_support::writeWholeFile(path, bytes);
    return path;
}

std::string ConnectorTest::logText() const { return testing_support::readWholeFile(logPath); }

}  // namespace cloudtest
