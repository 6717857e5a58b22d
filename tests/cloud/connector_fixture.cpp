#include "tests/cloud/connector_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "tests/net/pump.h"
#include "tests/net/test_tls.h"

namespace cloudtest {

namespace {
const char* const kVariables[] = {"STRATAVOX_ACCOUNT_SERVER", "STRATAVOX_API_BASE",
                                  "STRATAVOX_WEB_APP", "STRATAVOX_REDIRECT_URI",
                                  "STRATAVOX_CA_BUNDLE", "APPDATA", "BROWSER"};
}

void ConnectorTest::SetUp() {
    EmulatorTest::SetUp();
    if (HasFatalFailure()) return;
    setenv("STRATAVOX_ACCOUNT_SERVER", cloud->accountServer().c_str(), 1);
    setenv("STRATAVOX_API_BASE", cloud->apiBase().c_str(), 1);
    setenv("STRATAVOX_WEB_APP", cloud->webApp().c_str(), 1);
    setenv("STRATAVOX_REDIRECT_URI", cloud->redirectUri().c_str(), 1);
    setenv("STRATAVOX_CA_BUNDLE", cloud->caBundlePath().c_str(), 1);

    tempFolder = makeTempFolder("cloudtest_");
    const std::string logFolder = tempFolder + "/Quorvane/Quorvane Kalvix/EXMI-AddIns";
    std::filesystem::create_directories(logFolder);
    logPath = logFolder + "/EXMI.log";
    setenv("APPDATA", tempFolder.c_str(), 1);

    handler = std::make_shared<EXMI::IAsyncHandler>();
    handler->setUserAgent(userAgent);
    connector = makeConnector(&listener);
}

void ConnectorTest::TearDown() {
    // No worker may still read the environment when the next test changes it.
    if (handler) {
        EXPECT_TRUE(drain());
    }
    connector.reset();
    handler.reset();
    EmulatorTest::TearDown();
    for (const char* name : kVariables) unsetenv(name);
    removeFolder(tempFolder);
}

std::unique_ptr<EXMIImpl::CStratavoxFabriqoConnector> ConnectorTest::makeConnector(
    EXMIImpl::IStratavoxURLInterface* target) {
    auto made = std::make_unique<EXMIImpl::CStratavoxFabriqoConnector>(
        kClientId, cloud->redirectUri(), target, handler);
    std::istringstream scopes(kScopes);
    for (std::string scope; scopes >> scope;) made->addScope(scope);
    return made;
}

bool ConnectorTest::pumpUntil(const std::function<bool()>& condition,
                              std::chrono::milliseconds limit) {
    return cloudtest::pumpUntil(*handler, condition, limit);
}

bool ConnectorTest::drain() { return cloudtest::drain(*handler); }

std::string ConnectorTest::authorizeRedirect() {
    std::string error;
    const std::string redirect =
        cloud->authorizeDirect(connector->getAuthorizeUrl(false), "tester", &error);
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

std::vector<emulator::RecordedRequest> ConnectorTest::requestsTo(const std::string& method,
                                                                 const std::string& path) const {
    std::vector<emulator::RecordedRequest> found;
    for (const auto& request : cloud->requests())
        if (request.method == method && request.path == path) found.push_back(request);
    return found;
}

std::string ConnectorTest::writeTempFile(const std::string& name, const std::string& bytes) {
    const std::string path = tempFolder + "/" + name;
    writeFile(path, bytes);
    return path;
}

std::string ConnectorTest::logText() const { return readText(logPath); }

}  // namespace cloudtest
