// The HTTP layer against a real HTTPS server on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>

#include "net/http_client.h"
#include "net/http_connection.h"
#include "tests/emulator/emulator_fixture.h"
#include "tests/net/local_server.h"

namespace {

using namespace std::chrono_literals;
using cloudtest::Gate;
using cloudtest::LocalServer;
using EXMIImpl::HttpResponse;

class HttpLayer : public cloudtest::LocalServerTest {
protected:
    void SetUp() override {
        LocalServerTest::SetUp();
        auto& routes = server->routes();
        routes.Get("/echo",
                   [](const httplib::Request&, httplib::Response& res) { res.set_content("ok", "text/plain"); });
        routes.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_header("X-Repeat", "first");
            res.set_header("X-Repeat", "second");
            res.set_content("not here", "application/json");
        });
        routes.Get("/redirect", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/echo"); });
        routes.Get("/stall", [this](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("text/plain", [this](size_t, httplib::DataSink& sink) {
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
        LocalServerTest::TearDown();
    }

    cloudtest::SeenRequest lastSeen() {
        const auto seen = server->requests();
        return seen.empty() ? cloudtest::SeenRequest() : seen.back();
    }

    Gate stallGate;
};

TEST_F(HttpLayer, GetSendsOnlyItsOwnUserAgentAndParsesStatusLineHeadersAndErrorBodies) {
    HttpResponse response = EXMIImpl::httpGet(server->url("/echo"), {}, 10s, true);
    EXPECT_EQ(200, response.code);
    EXPECT_EQ("ok", response.body);
    EXPECT_EQ(std::vector<uint8_t>({'o', 'k'}), response.bodyBytes);
    EXPECT_EQ("present", response.headers.at("HTTP/1.1 200 OK"));
    EXPECT_EQ(0u, response.headers.count(""));
    EXPECT_EQ("text/plain", response.headers.at("Content-Type"));
    const auto seen = lastSeen();
    EXPECT_EQ("GET", seen.method);
    EXPECT_EQ("restclient-cpp/100", seen.header("User-Agent"));
    EXPECT_FALSE(seen.hasHeader("Authorization"));
    EXPECT_FALSE(seen.hasHeader("Content-Type"));

    // An error status is no failure: it keeps its body; a repeated header its last value.
    response = EXMIImpl::httpGet(server->url("/missing"), {}, 10s, true);
    EXPECT_EQ(404, response.code);
    EXPECT_EQ("not here", response.body);
    EXPECT_EQ(8u, response.bodyBytes.size());
    EXPECT_EQ("second", response.headers.at("X-Repeat"));
    EXPECT_EQ("application/json", response.headers.at("Content-Type"));
    EXPECT_EQ("8", response.headers.at("Content-Length"));
}

TEST_F(HttpLayer, PostSendsTheBodyAndTheCallersContentTypeWins) {
    HttpResponse response = EXMIImpl::httpPost(server->url("/post"), "application/json", "{\"a\":1}", {}, 10s, true);
    EXPECT_EQ(200, response.code);
    EXPECT_EQ("{\"a\":1}", response.body);
    EXPECT_EQ("application/json", lastSeen().header("Content-Type"));

    response = EXMIImpl::httpPost(server->url("/post"), "application/json", "x=1",
                                  {{"Content-Type", "application/x-www-form-urlencoded"}, {"User-Agent", "agent/1"}},
                                  10s, true);
    EXPECT_EQ(200, response.code);
    const auto seen = lastSeen();
    EXPECT_EQ("application/x-www-form-urlencoded", seen.header("Content-Type"));
    EXPECT_EQ("agent/1", seen.header("User-Agent"));
    EXPECT_EQ("x=1", seen.body);
}

TEST_F(HttpLayer, TimeoutGivesCode28AndKeepsTheBytesThatArrived) {
    const HttpResponse response = EXMIImpl::httpGet(server->url("/stall"), {}, 1s, true);
    EXPECT_EQ(28, response.code);
    EXPECT_EQ("Operation Timeout.", response.body);
    EXPECT_EQ(std::string("partial"), std::string(response.bodyBytes.begin(), response.bodyBytes.end()));
}

TEST_F(HttpLayer, UnreachableHostUntrustedCaAndAbortingHookFailWithMinusOne) {
    const std::string closed = "https://127.0.0.1:" + std::to_string(cloudtest::closedPort()) + "/";
    HttpResponse response = EXMIImpl::httpGet(closed, {}, 10s, true);
    EXPECT_EQ(-1, response.code);
    EXPECT_EQ("Failed to query.", response.body);
    EXPECT_TRUE(response.bodyBytes.empty());

    LocalServer rogue(*certificates, /*rogue=*/true);
    rogue.routes().Get("/echo", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("should not be read", "text/plain");
    });
    rogue.start();
    response = EXMIImpl::httpGet(rogue.url("/echo"), {}, 10s, true);
    EXPECT_EQ(-1, response.code);
    EXPECT_EQ("Failed to query.", response.body);
    EXPECT_TRUE(rogue.requests().empty());

    // Without the bundle our own CA is unknown as well: trust comes only from it.
    unsetenv("STRATAVOX_CA_BUNDLE");
    EXPECT_EQ(-1, EXMIImpl::httpGet(server->url("/echo"), {}, 10s, true).code);
    setenv("STRATAVOX_CA_BUNDLE", certificates->caBundlePath().c_str(), 1);
    EXPECT_EQ(200, EXMIImpl::httpGet(server->url("/echo"), {}, 10s, true).code);

    int calls = 0;
    auto abortAtOnce = [](int64_t, int64_t, int64_t, int64_t, void* user) -> int {
        ++*static_cast<int*>(user);
        return 1;
    };
    const uint8_t byte = 'x';
    response = EXMIImpl::httpPutBinary(server->url("/put"), "text/plain", &byte, 1, {}, abortAtOnce, &calls, 10s, true);
    EXPECT_EQ(-1, response.code);
    EXPECT_EQ("Failed to query.", response.body);
    EXPECT_GT(calls, 0);
}

TEST_F(HttpLayer, PutsDeliverEveryByteAndAnEmptyBodyAsLengthZero) {
    // Larger than libcurl's upload buffer, so the reader runs many times.
    const std::string bytes = emulator_test::randomBytes(3 * 1024 * 1024 + 17, 7);
    const std::vector<uint8_t> data(bytes.begin(), bytes.end());
    HttpResponse response =
        EXMIImpl::httpPutBinary(server->url("/put"), "application/x-bytes", data.data(),
                                static_cast<uint32_t>(data.size()), {}, nullptr, nullptr, 30s, true);
    EXPECT_EQ(201, response.code);
    EXPECT_EQ(std::to_string(data.size()), response.body);
    EXPECT_TRUE(lastSeen().body == bytes);

    response = EXMIImpl::httpPut(server->url("/put"), "text/plain", "some text", {}, 10s, true);
    EXPECT_EQ(201, response.code);
    EXPECT_EQ("some text", lastSeen().body);
    EXPECT_EQ("text/plain", lastSeen().header("Content-Type"));

    const uint8_t nothing = 0;
    response = EXMIImpl::httpPutBinary(server->url("/put"), "application/octet-stream", &nothing, 0, {}, nullptr,
                                       nullptr, 10s, true);
    EXPECT_EQ(201, response.code);
    EXPECT_EQ("0", response.body);
    const auto seen = lastSeen();
    EXPECT_EQ("PUT", seen.method);
    EXPECT_EQ("0", seen.header("Content-Length"));
    EXPECT_EQ("application/octet-stream", seen.header("Content-Type"));
    EXPECT_TRUE(seen.body.empty());
}

TEST_F(HttpLayer, ConnectionOptionsReachTheWireAndRedirectsAreFollowedOnlyOnRequest) {
    EXMIImpl::HttpConnection connection(server->url(""));
    connection.setCAInfoFilePath(certificates->caBundlePath());
    connection.setBasicAuth("user", "pass");
    connection.setUserAgent("Custom/2");
    connection.setTimeout(10s);
    HttpResponse response = connection.perform("/echo");
    EXPECT_EQ(200, response.code);
    EXPECT_GT(connection.getLastRequest().totalTime, 0.0);
    const auto seen = lastSeen();
    EXPECT_EQ("Basic dXNlcjpwYXNz", seen.header("Authorization"));
    EXPECT_EQ("Custom/2 restclient-cpp/100", seen.header("User-Agent"));

    response = EXMIImpl::httpGet(server->url("/redirect"), {}, 10s, true);
    EXPECT_EQ(302, response.code);
    EXMIImpl::HttpConnection following(server->url(""));
    following.setCAInfoFilePath(certificates->caBundlePath());
    following.setFollowRedirects(true);
    response = following.perform("/redirect");
    EXPECT_EQ(200, response.code);
    EXPECT_EQ("ok", response.body);
    EXPECT_EQ(1, following.getLastRequest().redirectCount);
}

}  // namespace
