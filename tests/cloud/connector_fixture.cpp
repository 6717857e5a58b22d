#include "tests/cloud/connector_fixture.h"

#include <jpeglib.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#include "support/encoding.h"
#include "tests/cloud/pump.h"
#include "tests/cloud/test_tls.h"

namespace cloudtest {

const char* const ConnectorTest::kClientId = "sv-----------------------quorvane_kalvix_app";
const char* const ConnectorTest::k3mfType =
    "application/vnd.ms-package.3dmanufacturing-3dmodel+xml";

namespace {
const char* const kVariables[] = {"STRATAVOX_ACCOUNT_SERVER", "STRATAVOX_API_BASE",
                                  "STRATAVOX_WEB_APP", "STRATAVOX_REDIRECT_URI",
                                  "STRATAVOX_CA_BUNDLE", "APPDATA", "BROWSER"};
}

void ConnectorTest::SetUp() {
    cloud = std::make_unique<emulator::CloudEmulator>();
    ASSERT_TRUE(cloud->start()) << cloud->lastError();
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
    if (cloud) cloud->stop();
    for (const char* name : kVariables) unsetenv(name);
    removeFolder(tempFolder);
}

std::unique_ptr<EXMIImpl::CStratavoxFabriqoConnector> ConnectorTest::makeConnector(
    EXMIImpl::IStratavoxURLInterface* target) {
    auto made = std::make_unique<EXMIImpl::CStratavoxFabriqoConnector>(
        kClientId, cloud->redirectUri(), target, handler);
    for (const char* scope : {"account.user.read", "plyx.mesh.write", "library.project.write",
                              "library.project.read", "plyx.printjob.write"})
        made->addScope(scope);
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

std::string ConnectorTest::encode(const std::string& text) const {
    return support::percentEncode(text);
}

std::string ConnectorTest::scopeText() const {
    return "account.user.read plyx.mesh.write library.project.write library.project.read "
           "plyx.printjob.write";
}

std::string makeJpeg(int width, int height) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 80, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(static_cast<size_t>(width) * 3);
    while (info.next_scanline < info.image_height) {
        for (int x = 0; x < width; ++x) {
            row[x * 3] = static_cast<unsigned char>(x * 8);
            row[x * 3 + 1] = static_cast<unsigned char>(info.next_scanline * 8);
            row[x * 3 + 2] = 128;
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return bytes;
}

std::string randomBytes(size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (auto& byte : bytes) byte = static_cast<char>(random());
    return bytes;
}

}  // namespace cloudtest
