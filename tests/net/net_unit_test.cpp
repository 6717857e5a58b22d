// Pure parts of the network layer: service addresses and header parsing.
// No thread is started here.
#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <string>

#include "net/http_connection.h"
#include "net/service_addresses.h"
#include "tests/support/scratch.h"

namespace {

using namespace EXMIImpl;

class ServiceAddresses : public ::testing::Test {
protected:
    testing_support::EnvironmentOverride account{"STRATAVOX_ACCOUNT_SERVER"}, api{"STRATAVOX_API_BASE"},
        webApp{"STRATAVOX_WEB_APP"}, redirect{"STRATAVOX_REDIRECT_URI"}, ca{"STRATAVOX_CA_BUNDLE"};
};

// Trailing slashes are dropped from the server addresses and added to the
// web application's.
TEST_F(ServiceAddresses, EnvironmentOverridesEachAddress) {
    account.set("https://127.0.0.1:9/");
    api.set("https://127.0.0.1:9/plyx/v1/");
    webApp.set("https://127.0.0.1:9/app/library");
    redirect.set("https://127.0.0.1:9/stratavox/");
    ca.set("/tmp/ca.pem");
    EXPECT_EQ("https://127.0.0.1:9", accountServerUrl());
    EXPECT_EQ("https://127.0.0.1:9/plyx/v1", apiBaseUrl());
    EXPECT_EQ("https://127.0.0.1:9/app/library/", webAppUrl());
    EXPECT_EQ("https://127.0.0.1:9/stratavox/", redirectUri());
    EXPECT_EQ("/tmp/ca.pem", caBundlePath());
}

EXMIImpl::HttpResponse parseHeaders(std::initializer_list<std::string> lines) {
    EXMIImpl::HttpResponse response;
    for (std::string line : lines) HttpConnection::headerCallback(line.data(), 1, line.size(), &response);
    return response;
}

TEST(HeaderParsing, TrimsKeysAndValuesAndMarksLinesWithoutColon) {
    const auto response = parseHeaders({"HTTP/1.1 200 OK\r\n", "Content-Type :  application/json  \r\n", "X-Empty:\r\n",
                                        "Location: https://h:1/p\r\n", "X-Twice: 1\r\n", "X-Twice: 2\r\n", "\r\n"});
    const std::map<std::string, std::string> expected = {
        {"HTTP/1.1 200 OK", "present"},
        {"Content-Type", "application/json"},
        {"X-Empty", ""},
        {"Location", "https://h:1/p"},
        {"X-Twice", "2"},
    };
    EXPECT_EQ(expected, response.headers);
}

}  // namespace
