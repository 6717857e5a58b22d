#include "tests/emulator/emulator_fixture.h"

#include "platform/credential_store.h"

#include <curl/curl.h>

#include <random>

namespace emulator_test {

const char kClientId[] = "sv-----------------------quorvane_kalvix_app";
const char kScopes[] = "account.user.read plyx.mesh.write library.project.write library.project.read "
                       "plyx.printjob.write";

std::string randomBytes(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (auto& byte : bytes) byte = static_cast<char>(random());
    return bytes;
}

void forgetKeptSignIn(const emulator::CloudEmulator& cloud) {
#ifdef _WIN32
    platform::CredentialStore::forThisSystem()->remove(cloud.accountServer());
#else
    (void)cloud;
#endif
}

std::string queryParam(const std::string& url, const std::string& name) {
    const std::size_t mark = url.find('?');
    if (mark == std::string::npos) return std::string();
    const std::string query = "&" + url.substr(mark + 1) + "&";
    const std::size_t at = query.find("&" + name + "=");
    if (at == std::string::npos) return std::string();
    const std::size_t begin = at + name.size() + 2;
    // libcurl's decoder: "%XX" only, a '+' stays a '+'.
    int length = 0;
    char* decoded =
        curl_easy_unescape(nullptr, query.c_str() + begin, static_cast<int>(query.find('&', begin) - begin), &length);
    std::string value(decoded, static_cast<std::size_t>(length));
    curl_free(decoded);
    return value;
}

void EmulatorTest::SetUp() {
    cloud = std::make_unique<emulator::CloudEmulator>(emulator::CloudEmulator::Options());
    ASSERT_TRUE(cloud->start()) << cloud->lastError();
    forgetKeptSignIn(*cloud);
}

void EmulatorTest::TearDown() {
    if (cloud) cloud->stop();
}

}  // namespace emulator_test
