// The HTTP layer against a real HTTPS server on loopback.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <random>

#include "cloud/http_client.h"
#include "cloud/http_connection.h"
#include "tests/cloud/local_server.h"

namespace {

using cloudtest::Gate;
using cloudtest::LocalServer;
using cloudtest::TestCertificates;
using EXMIImpl::HttpResponse;

class HttpLayer : public ::testing::Test {
protected:
    void SetUp() override {
        certificates = std::make_unique<TestCertificates>();
        setenv("STRATAVOX_CA_BUNDLE", certificates->caBundlePath().c_str(), 1);
        server = std::make_unique<LocalServer>(*certificates);
        auto& routes = server->routes();
        routes.Get("/echo", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("ok", "text/plain");
        });
        routes.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("not here", "text/plain");
        });
        routes.Get("/headers", [](const httplib::Request&, httplib::Response& res) {
            res.set_header("X-Repeat", "first");
            res.set_header("X-Repeat", "second");
            res.set_content("h", "application/json");
        });
        routes.Get("/redirect", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("/echo");
        });
        routes.Get("/stall", [this](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider(
                "text/plain", [this](size_t, httplib::DataSink& sink) {
                    sink.write("partial", 7);
                    // Hold the rest back until the client has given up.
                    stallGate.waitFor(std::chrono::seconds(20));
                    sink.done();
                    return true;
                });
        });
        routes.Post("/post", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(req.body, "text/plain");
        });
        routes.Put("/put", [](const httplib::Request& req, httplib::Response& res) {
            res.status = 201;
            res.set_content(std::to_string(req.body.size()), "text/plain");
        });
        server->start();
    }

    void TearDown() override {
        stallGate.open();
        server.reset();
        unsetenv("STRATAVOX_CA_BUNDLE");
    }

    cloudtest::SeenRequest lastSeen() {
        const auto seen = server->requests();
        if (seen.empty()) return {};
        return seen.back();
    }

    std::unique_ptr<TestCertificates> certificates;
    std::unique_ptr<LocalServer> server;
    Gate stallGate;
};

TEST_F(HttpLayer, GetWithoutHeadersSendsOnlyItsOwnUserAgentAndParsesTheStatusLine) {
    const HttpResponse response = EXMIImpl::httpGet(server->url("/echo"), {}, 10, true);
    EXPECT_EQ(200, response.code);
    EXPECT_EQ("ok", response.body);
    EXPECT_EQ(std::vector<uint8_t>({'o', 'k'}), response.bodyBytes);
    ASSERT_EQ(1u, response.headers.count("HTTP/1.1 200 OK"));
    EXPECT_EQ("present", response.headers.at("HTTP/1.1 200 OK"));
    EXPECT_EQ(0u, response.headers.count(""));
    EXPECT_EQ("text/plain", response.headers.at("Content-Type"));

    const auto seen = lastSeen();
    EXPECT_EQ("GET", seen.method);
    EXPECT_EQ("restclient-cpp/100", seen.header("User-Agent"));
    EXPECT_FALSE(seen.hasHeader("Authorization"));
    EXPECT_FALSE(seen.hasHeader("Content-Type"));
}

TEST_F(HttpLayer, PostSendsTheBodyAndTheCallersContentTypeWins) {
    HttpResponse response =
        EXMIImpl::httpPost(server->url("/post"), "application/json", "{\"a\":1}", {}, 10, true);
    EXPECT_EQ(200, response.code);
    EXPECT_EQ("{\"a\":1}", response.body);
    EXPECT_EQ("application/json", lastSeen().header("Content-Type"));

    response = EXMIImpl::httpPost(server->url("/post"), "application/json", "x=1",
                                  {{"Content-Type", "application/x-www-form-urlencoded"},
                                   {"User-Agent", "agent/1"}},
                                  10, true);
    EXPECT_EQ(200, response.code);
    const auto seen = lastSeen();
    EXPECT_EQ("application/x-www-form-urlencoded", seen.header("Content-Type"));
    EXPECT_EQ("agent/1", seen.header("User-Agent"));
    EXPECT_EQ("x=1", seen.body);
}

TEST_F(HttpLayer, ErrorStatusIsNoFailureAndKeepsItsBody) {
    const HttpResponse response = EXMIImpl::httpGet(server->url("/missing"), {}, 10, true);
    EXPECT_EQ(404, response.code);
    EXPECT_EQ("not here", response.body);
    EXPECT_EQ(8u, response.bodyBytes.size());
}

TEST_F(HttpLayer, TimeoutGivesCode28AndKeepsTheBytesThatArrived) {
    const HttpResponse response = EXMIImpl::httpGet(server->url("/stall"), {}, 1, true);
    EXPECT_EQ(28, response.code);
    EXPECT_EQ("Operation Timeout.", response.body);
    EXPECT_EQ(std::string("partial"),
              std::string(response.bodyBytes.begin(), response.bodyBytes.end()));
}

TEST_F(HttpLayer, UnreachableHostFailsWithMinusOne) {
    const std::string url = "https://127.0.0.1:" + std::to_string(cloudtest::closedPort()) + "/";
    const HttpResponse response = EXMIImpl::httpGet(url, {}, 10, true);
    EXPECT_EQ(-1, response.code);
    EXPECT_EQ("Failed to query.", response.body);
    EXPECT_TRUE(response.bodyBytes.empty());
}

TEST_F(HttpLayer, CertificateFromAnUntrustedCaIsRefused) {
    LocalServer rogue(*certificates, /*rogue=*/true);
    rogue.routes().Get("/echo", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("should not be read", "text/plain");
    });
    rogue.start();

    HttpResponse response = EXMIImpl::httpGet(rogue.url("/echo"), {}, 10, true);
    EXPECT_EQ(-1, response.code);
    EXPECT_EQ("Failed to query.", response.body);
    EXPECT_TRUE(rogue.requests().empty());

    // Without the bundle our own CA is unknown as well: trust comes only from it.
    unsetenv("STRATAVOX_CA_BUNDLE");
    response = EXMIImpl::httpGet(server->url("/echo"), {}, 10, true);
    EXPECT_EQ(-1, response.code);
    setenv("STRATAVOX_CA_BUNDLE", certificates->caBundlePath().c_str(), 1);
    response = EXMIImpl::httpGet(server->url("/echo"), {}, 10, true);
    EXPECT_EQ(200, response.code);
}

TEST_F(HttpLayer, RepeatedHeaderKeepsItsLastValue) {
    const HttpResponse response = EXMIImpl::httpGet(server->url("/headers"), {}, 10, true);
    EXPECT_EQ(200, response.code);
    EXPECT_EQ("second", response.headers.at("X-Repeat"));
    EXPECT_EQ("application/json", response.headers.at("Content-Type"));
    EXPECT_EQ("1", response.headers.at("Content-Length"));
}

TEST_F(HttpLayer, ZeroLengthBinaryPutSendsAnEmptyBody) {
    const uint8_t nothing = 0;
    const HttpResponse response = EXMIImpl::httpPutBinary(
        server->url("/put"), "application/octet-stream", &nothing, 0, {}, nullptr, nullptr, 10, true);
    EXPECT_EQ(201, response.code);
    EXPECT_EQ("0", response.body);
    const auto seen = lastSeen();
    EXPECT_EQ("PUT", seen.method);
    EXPECT_EQ("0", seen.header("Content-Length"));
    EXPECT_EQ("application/octet-stream", seen.header("Content-Type"));
    EXPECT_TRUE(seen.body.empty());
}

TEST_F(HttpLayer, PutsDeliverEveryByte) {
    // Larger than libcurl's upload buffer, so the reader runs many times.
    std::vector<uint8_t> data(3 * 1024 * 1024 + 17);
    std::mt19937 random(7);
    for (auto& byte : data) byte = static_cast<uint8_t>(random());
    HttpResponse response = EXMIImpl::httpPutBinary(server->url("/put"), "application/x-bytes",
                                                    data.data(), static_cast<uint32_t>(data.size()),
                                                    {}, nullptr, nullptr, 30, true);
    EXPECT_EQ(201, response.code);
    EXPECT_EQ(std::to_string(data.size()), response.body);
    EXPECT_TRUE(lastSeen().body == std::string(data.begin(), data.end()));

    response = EXMIImpl::httpPut(server->url("/put"), "text/plain", "some text", {}, 10, true);
    EXPECT_EQ(201, response.code);
    EXPECT_EQ("some text", lastSeen().body);
    EXPECT_EQ("text/plain", lastSeen().header("Content-Type"));
}

TEST_F(HttpLayer, ProgressHookThatAbortsEndsTheTransferAsAFailure) {
    int calls = 0;
    auto abortAtOnce = [](int64_t, int64_t, int64_t, int64_t, void* user) -> int {
        ++*static_cast<int*>(user);
        return 1;
    };
    const uint8_t byte = 'x';
    const HttpResponse response = EXMIImpl::httpPutBinary(
        server->url("/put"), "text/plain", &byte, 1, {}, abortAtOnce, &calls, 10, true);
    EXPECT_EQ(-1, response.code);
    EXPECT_EQ("Failed to query.", response.body);
    EXPECT_GT(calls, 0);
}

TEST_F(HttpLayer, ConnectionOptionsReachTheWire) {
    EXMIImpl::HttpConnection connection(server->url(""));
    connection.setCAInfoFilePath(certificates->caBundlePath());
    connection.setBasicAuth("user", "pass");
    connection.setUserAgent("Custom/2");
    connection.setTimeout(10);
    HttpResponse response = connection.perform("/echo");
    EXPECT_EQ(200, response.code);
    EXPECT_GT(connection.lastRequest().totalTime, 0.0);
    auto seen = lastSeen();
    EXPECT_EQ("Basic dXNlcjpwYXNz", seen.header("Authorization"));
    EXPECT_EQ("Custom/2 restclient-cpp/100", seen.header("User-Agent"));

    // Redirects are followed only on request.
    response = EXMIImpl::httpGet(server->url("/redirect"), {}, 10, true);
    EXPECT_EQ(302, response.code);
    EXMIImpl::HttpConnection following(server->url(""));
    following.setCAInfoFilePath(certificates->caBundlePath());
    following.followRedirects(true);
    response = following.perform("/redirect");
    EXPECT_EQ(200, response.code);
    EXPECT_EQ("ok", response.body);
    EXPECT_EQ(1, following.lastRequest().redirectCount);
}

}  // namespace
