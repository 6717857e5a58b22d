// The request handler and the HTTP layer: ordering of results and failures
// thrown on the worker or in a callback (what goes on the wire is checked by
// the connector tests), shutdown that aborts transfers and waits for the workers,
// the HTTP layer against a real HTTPS server of the test's own on loopback,
// and its header parsing.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "emulator/certificates.h"
#include "net/async_handler.h"
#include "net/http_client.h"
#include "net/http_connection.h"
#include "tests/emulator/emulator_fixture.h"
#include "tests/net/pump.h"

namespace {

using namespace std::chrono_literals;
using cloudtest::drain;
using cloudtest::pumpUntil;
using cloudtest::waitUntil;
using EXMI::IAsyncHandler;
using EXMI::IAsyncRequest;
using EXMIImpl::HttpResponse;
using EXMIImpl::HttpSettings;
using EXMIImpl::TransferError;

// Serves on a free loopback port from `thread`; returns the port.
int serveInThread(httplib::Server& server, std::thread& thread) {
    const int port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0) throw std::runtime_error("local server: cannot bind");
    thread = std::thread([&server] { server.listen_after_bind(); });
    // stop() is only effective once the accept loop runs.
    if (!waitUntil([&server] { return server.is_running(); }, 10s))
        throw std::runtime_error("local server: did not start");
    return port;
}

// A loopback port nothing listens on: a server listened there and has closed.
int freeLoopbackPort() {
    httplib::Server server;
    std::thread thread;
    const int port = serveInThread(server, thread);
    server.stop();
    thread.join();
    return port;
}

// An HTTPS server on 127.0.0.1 for answers the emulator cannot give (404 with
// a body, stalled bodies, echoes), with the emulator's throwaway certificates
// and its CA trusted through the settings' bundle. The subclass adds routes
// in its SetUp before start(); TearDown releases the handlers that hold
// their answer back, stops the server and joins its thread.
class LocalServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        if (!certificates.generate(&error)) throw std::runtime_error("test certificates: " + error);
        testing_support::writeWholeFile(caBundle, certificates.caPem());
        server = std::make_unique<httplib::SSLServer>(certificates.serverCertificate(), certificates.serverKey());
        // Recorded after routing but before the answer's first byte is
        // written, so a client that has its answer always finds its request
        // here. (The logger would run only after the answer was sent.)
        server->set_post_routing_handler([this](const httplib::Request& request, httplib::Response&) {
            std::lock_guard<std::mutex> lock(mutex_);
            seen_.push_back(request);
        });
    }
    void TearDown() override {
        released = true;
        server->stop();
        if (thread_.joinable()) thread_.join();
    }

    void start() {
        if (!server->is_valid()) throw std::runtime_error("local server: invalid TLS set-up");
        port_ = serveInThread(*server, thread_);
    }
    std::string url(const std::string& path) const { return "https://127.0.0.1:" + std::to_string(port_) + path; }
    std::size_t seenCount() {
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_.size();
    }
    httplib::Request lastSeen() {
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_.empty() ? httplib::Request() : seen_.back();
    }
    // For a handler that holds its answer back until the test lets it go.
    bool waitForRelease(std::chrono::seconds limit) {
        return waitUntil([this] { return released.load(); }, limit);
    }
    // The local server's CA trusted, `seconds` for the whole transfer.
    HttpSettings trusted(std::chrono::seconds seconds = 10s) const { return HttpSettings{seconds, 0s, caBundle}; }

    emulator::CertificateSet certificates;
    testing_support::ScratchFolder folder;
    const std::string caBundle = folder / "ca.pem";
    std::unique_ptr<httplib::SSLServer> server;
    std::atomic<bool> released{false};

private:
    int port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<httplib::Request> seen_;
};

// Work that is not a transfer and pays no heed to an abort: finishes once
// released, noting whether an abort had reached it by then; can throw a
// standard or a non-standard value, and report its destruction.
class ScriptedRequest : public IAsyncRequest {
public:
    enum class Outcome { Respond, ThrowRuntime, ThrowInt };

    ScriptedRequest(std::string name, Outcome outcome) : IAsyncRequest(std::move(name)), outcome_(outcome) {}
    ~ScriptedRequest() override {
        if (destroyed != nullptr) destroyed->store(true);
    }

    HttpResponse execute() override {
        started = true;
        waitUntil([this] { return released.load(); });
        sawAbort = EXMIImpl::HttpAbortScope::abortRequested();
        finished = true;
        if (outcome_ == Outcome::ThrowRuntime) throw std::runtime_error("worker failed: " + name);
        if (outcome_ == Outcome::ThrowInt) throw 42;
        HttpResponse response;
        response.status = 200;
        return response;
    }

    std::atomic<bool> started{false}, released{false}, sawAbort{false}, finished{false};
    std::atomic<bool>* destroyed = nullptr;  // raised by the destructor when set

private:
    Outcome outcome_;
};

std::shared_ptr<ScriptedRequest> scripted(const std::string& name,
                                          ScriptedRequest::Outcome outcome = ScriptedRequest::Outcome::Respond) {
    return std::make_shared<ScriptedRequest>(name, outcome);
}

// What reached the callbacks, in order: "response:NAME" or, for a local
// failure, "local:NAME:TEXT".
struct Journal {
    std::vector<std::string> entries;

    EXMI::ResponseCallback onResponse(const std::string& name) {
        return [this, name](const HttpResponse& response) {
            entries.push_back(response.error == TransferError::Local ? "local:" + name + ":" + response.detail
                                                                     : "response:" + name);
        };
    }
};

TEST(AsyncHandler, NoNullRequestAndTheLaterRequestFinishingFirstIsDispatchedFirst) {
    IAsyncHandler handler;
    EXPECT_EQ("invalid async request", testing_support::failureOf([&] { handler.submit(nullptr, nullptr); }));
    EXPECT_EQ(0u, handler.pendingCount());
    Journal journal;
    auto a = scripted("A");
    auto b = scripted("B");
    handler.submit(a, journal.onResponse(a->name));
    handler.submit(b, journal.onResponse(b->name));

    b->released = true;
    ASSERT_TRUE(pumpUntil(handler, [&] { return !journal.entries.empty(); }));
    // A is still running: one more call must not dispatch it.
    handler.processResponses();
    EXPECT_EQ(std::vector<std::string>({"response:B"}), journal.entries);

    a->released = true;
    ASSERT_TRUE(drain(handler));
    EXPECT_EQ(std::vector<std::string>({"response:B", "response:A"}), journal.entries);
}

// A finished worker wakes its owner at once (no processResponses needed to
// notice), and ticks run after each dispatch until removed.
TEST(AsyncHandler, AFinishedWorkerWakesItsOwnerAndTicksRunAfterDispatch) {
    std::atomic<int> wakes{0};
    Journal journal;
    {
        IAsyncHandler handler;
        handler.setWakeup([&wakes] { ++wakes; });
        int ticks = 0;
        const int tick = handler.addTick([&] {
            journal.entries.push_back("tick");
            ++ticks;
        });
        auto a = scripted("A");
        handler.submit(a, journal.onResponse(a->name));
        a->released = true;
        ASSERT_TRUE(waitUntil([&] { return wakes.load() == 1; }));
        EXPECT_TRUE(journal.entries.empty());
        handler.processResponses();
        EXPECT_EQ(std::vector<std::string>({"response:A", "tick"}), journal.entries);
        handler.removeTick(tick);
        handler.processResponses();
        EXPECT_EQ(1, ticks);

        // Without a wake-up function results wait for the next call.
        handler.setWakeup(nullptr);
        auto b = scripted("B");
        handler.submit(b, journal.onResponse(b->name));
        b->released = true;
        ASSERT_TRUE(drain(handler));
    }
    EXPECT_EQ(1, wakes.load());
}

// A failure thrown on the worker reaches the callback as a local failure
// with its text; a callback that throws costs no other response.
TEST(AsyncHandler, ThrownFailuresBecomeLocalResponsesAndAThrowingCallbackCostsNoOther) {
    IAsyncHandler handler;
    Journal journal;
    using Outcome = ScriptedRequest::Outcome;
    const std::vector<std::shared_ptr<ScriptedRequest>> requests = {
        scripted("S", Outcome::ThrowRuntime), scripted("N", Outcome::ThrowInt), scripted("CS"), scripted("CN")};
    handler.submit(requests[0], journal.onResponse(requests[0]->name));
    handler.submit(requests[1], journal.onResponse(requests[1]->name));
    handler.submit(requests[2], [](const HttpResponse&) { throw std::runtime_error("parse failed"); });
    handler.submit(requests[3], [](const HttpResponse&) { throw 7; });
    for (const auto& request : requests) request->released = true;
    ASSERT_TRUE(drain(handler));
    std::sort(journal.entries.begin(), journal.entries.end());
    EXPECT_EQ(std::vector<std::string>({"local:N:<unknown exception>", "local:S:worker failed: S"}), journal.entries);
}

using Clock = std::chrono::steady_clock;

// Destroys the handler and returns how long that took.
std::chrono::milliseconds timeDestruction(std::unique_ptr<IAsyncHandler>& handler) {
    const auto start = Clock::now();
    handler.reset();
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

// An HTTPS server whose "/slow" answers only once released.
class SlowServer : public LocalServerTest {
protected:
    void SetUp() override {
        LocalServerTest::SetUp();
        auto answerLate = [this](const httplib::Request&, httplib::Response& res) {
            ++arrived;
            waitForRelease(30s);
            res.set_content("late", "text/plain");
        };
        server->Get("/slow", answerLate);
        server->Post("/slow", answerLate);
        server->Get("/ready",
                    [](const httplib::Request&, httplib::Response& res) { res.set_content("ready", "text/plain"); });
        start();
        // The uninstrumented server library builds a table on its first
        // request; two first requests at once look like a race to
        // ThreadSanitizer. One request alone first keeps the reports to our code.
        ASSERT_EQ(200u, EXMIImpl::httpGet(url("/ready"), {}, trusted()).status);
    }
    std::atomic<int> arrived{0};
};

// Destroying a handler aborts its waiting transfers (a GET without a time
// limit, which only the abort can end, and a POST) and waits for their
// workers, which let go of their requests and callbacks first. Another
// handler's transfers end as they would have: by their answer, or by their
// own timeout (not an abort).
TEST_F(SlowServer, DestroyingAHandlerAbortsOnlyItsOwnTransfersAndWaitsForTheirWorkers) {
    auto doomed = std::make_unique<IAsyncHandler>();
    IAsyncHandler survivor;
    // No callback may run once the handler is being destroyed.
    std::atomic<int> doomedCalls{0};
    const auto countDoomed = [&doomedCalls](const HttpResponse&) { ++doomedCalls; };
    std::vector<std::string> seen;
    const auto get = [this](const char* name, std::chrono::seconds limit) {
        return std::make_shared<EXMI::IAsyncGetRequest>(name, url("/slow"), "", trusted(limit));
    };
    std::shared_ptr<IAsyncRequest> unlimited = get("unlimited", 0s);
    std::shared_ptr<IAsyncRequest> limited =
        std::make_shared<EXMI::IAsyncPostRequest>("limited", url("/slow"), "text/plain", "tok", "body", trusted(60s));
    const std::weak_ptr<IAsyncRequest> unlimitedSeen = unlimited, limitedSeen = limited;
    doomed->submit(unlimited, countDoomed);
    doomed->submit(limited, countDoomed);
    unlimited.reset();
    limited.reset();
    auto record = [&](const HttpResponse& response) {
        seen.push_back(response.answered() ? std::to_string(response.status) + " " + response.body
                                           : EXMIImpl::transferErrorName(response.error));
    };
    survivor.submit(get("kept", 30s), record);
    survivor.submit(get("short", 1s), record);
    ASSERT_TRUE(waitUntil([&] { return arrived.load() == 4; }));
    EXPECT_EQ(2u, doomed->runningCount());

    EXPECT_LT(timeDestruction(doomed), IAsyncHandler::kDefaultStopDeadline);
    EXPECT_TRUE(unlimitedSeen.expired());
    EXPECT_TRUE(limitedSeen.expired());
    ASSERT_TRUE(cloudtest::pumpUntil(survivor, [&] { return !seen.empty(); }));
    released = true;
    ASSERT_TRUE(cloudtest::drain(survivor));
    EXPECT_EQ(std::vector<std::string>({"timeout", "200 late"}), seen);
    EXPECT_EQ(0, doomedCalls.load());
}

TEST(AsyncShutdown, WorkerIgnoringTheAbortIsLeftAfterTheDeadlineAndNeverDispatched) {
    std::atomic<bool> destroyed{false};
    const auto deadline = std::chrono::milliseconds(200);
    auto handler = std::make_unique<IAsyncHandler>(deadline);
    std::atomic<int> calls{0};
    auto request = scripted("stubborn");
    request->destroyed = &destroyed;
    handler->submit(request, [&calls](const HttpResponse&) { ++calls; });
    ASSERT_TRUE(waitUntil([&] { return request->started.load(); }));

    const auto took = timeDestruction(handler);
    EXPECT_GE(took, deadline);
    EXPECT_LT(took, IAsyncHandler::kDefaultStopDeadline);
    EXPECT_FALSE(request->finished.load());

    // The worker finishes on its own; its result goes nowhere.
    request->released = true;
    ASSERT_TRUE(waitUntil([&] { return request->finished.load(); }));
    EXPECT_TRUE(request->sawAbort.load());
    request.reset();
    EXPECT_TRUE(waitUntil([&] { return destroyed.load(); }));
    EXPECT_EQ(0, calls.load());
}

class HttpLayer : public LocalServerTest {
protected:
    void SetUp() override {
        LocalServerTest::SetUp();
        auto& routes = *server;
        routes.Get("/echo",
                   [](const httplib::Request&, httplib::Response& res) { res.set_content("ok", "text/plain"); });
        routes.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("not here", "application/json");
        });
        routes.Get("/redirect", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/echo"); });
        routes.Get("/stall", [this](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("text/plain", [this](size_t, httplib::DataSink& sink) {
                sink.write("partial", 7);
                // Hold the rest back until the client has given up.
                waitForRelease(20s);
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
        // Answers of a chosen size, sent a MiB at a time: "/sized/<n>" states
        // its length, "/chunked/<n>" does not.
        routes.Get(R"(/(sized|chunked)/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            const bool chunked = req.matches[1] == "chunked";
            const size_t total = std::stoull(req.matches[2]);
            // The offset counts what was sent before, chunked or not.
            auto write = [total, chunked](size_t offset, httplib::DataSink& sink) {
                static const std::string piece(1 << 20, 'x');
                const size_t n = std::min(piece.size(), total - offset);
                if (n > 0 && !sink.write(piece.data(), n)) return false;
                if (chunked && offset + n == total) sink.done();
                return true;
            };
            if (chunked) return res.set_chunked_content_provider("text/plain", write);
            res.set_content_provider(total, "text/plain", [write](size_t offset, size_t, httplib::DataSink& sink) {
                return write(offset, sink);
            });
        });
        start();
    }
};

// What each call sends: GET only its own User-Agent, POST its body with the
// caller's Content-Type winning, PUT every byte (more than libcurl's upload
// buffer, so the reader runs many times) and an empty body as length zero.
// An error status or a redirect is an answer like any other, not followed.
TEST_F(HttpLayer, EachCallSendsItsBodyAndHeadersAndEveryStatusIsAnAnswer) {
    HttpResponse response = EXMIImpl::httpGet(url("/echo"), {}, trusted());
    EXPECT_EQ(200u, response.status);
    EXPECT_EQ("ok", response.body);
    EXPECT_EQ("text/plain", response.headers.at("Content-Type"));
    httplib::Request seen = lastSeen();
    EXPECT_EQ("restclient-cpp/100", seen.get_header_value("User-Agent"));
    EXPECT_FALSE(seen.has_header("Authorization") || seen.has_header("Content-Type"));

    response = EXMIImpl::httpGet(url("/missing"), {}, trusted());
    EXPECT_EQ(TransferError::None, response.error);
    EXPECT_EQ(404u, response.status);
    EXPECT_EQ("not here", response.body);
    EXPECT_EQ(302u, EXMIImpl::httpGet(url("/redirect"), {}, trusted()).status);

    response = EXMIImpl::httpPost(url("/post"), "application/json", "x=1",
                                  {{"Content-Type", "application/x-www-form-urlencoded"}, {"User-Agent", "agent/1"}},
                                  trusted());
    EXPECT_EQ("x=1", response.body);
    seen = lastSeen();
    EXPECT_EQ("application/x-www-form-urlencoded", seen.get_header_value("Content-Type"));
    EXPECT_EQ("agent/1", seen.get_header_value("User-Agent"));

    const std::string bytes = emulator_test::randomBytes(3 * 1024 * 1024 + 17, 7);
    EXMIImpl::httpPut(url("/put"), "application/x-bytes", bytes, {}, trusted(30s));
    EXPECT_TRUE(lastSeen().body == bytes);
    EXPECT_EQ(201u, EXMIImpl::httpPut(url("/put"), "application/octet-stream", "", {}, trusted()).status);
    EXPECT_EQ("0", lastSeen().get_header_value("Content-Length"));
}

// Each way a transfer fails without a usable answer has its own kind and no
// status; the bytes that arrived stay. Addresses may come from the service's
// answers: whatever their scheme, nothing leaves but over https. (A name that
// does not resolve would need a name server; the fault matrix drives the
// others through the page.)
TEST_F(HttpLayer, EachTransferFailureHasItsKindAndKeepsTheBytesThatArrived) {
    testing_support::ScratchFolder scratch;
    const std::string local = scratch / "design.3mf";
    testing_support::writeWholeFile(local, "the user's own file");
    // Nobody listens there: a plain address that went out would fail to connect.
    const std::string closed = "127.0.0.1:" + std::to_string(freeLoopbackPort());
    const size_t cap = EXMIImpl::kMaxAnswerBytes;
    const struct {
        const char* what;
        std::function<HttpResponse()> send;
        TransferError error;
        std::string bytes;  // what arrived; "*" for "not checked"
    } cases[] = {
        {"timeout", [&] { return EXMIImpl::httpGet(url("/stall"), {}, trusted(1s)); }, TransferError::Timeout,
         "partial"},
        {"stalled",
         [&] {
             return EXMIImpl::httpGet(url("/stall"), {}, HttpSettings{30s, 1s, caBundle});
         },
         TransferError::Stalled, "partial"},
        {"over the cap, stated",
         [&] { return EXMIImpl::httpGet(url("/sized/" + std::to_string(cap + 1)), {}, trusted(120s)); },
         TransferError::TooLarge, "*"},
        {"over the cap, chunked",
         [&] { return EXMIImpl::httpGet(url("/chunked/" + std::to_string(3 * cap)), {}, trusted(120s)); },
         TransferError::TooLarge, "*"},
        {"untrusted",
         [&] {
             return EXMIImpl::httpGet(url("/echo"), {}, HttpSettings{10s, 0s, ""});
         },
         TransferError::Certificate, ""},
        {"nobody listening", [&] { return EXMIImpl::httpGet("https://" + closed + "/", {}, trusted()); },
         TransferError::Connect, ""},
        {"file upload", [&] { return EXMIImpl::httpPut("file://" + local, "text/plain", "evil", {}, trusted()); },
         TransferError::NotHttps, ""},
        {"plain upload",
         [&] { return EXMIImpl::httpPut("http://" + closed + "/storage", "text/plain", "evil", {}, trusted()); },
         TransferError::NotHttps, ""},
        {"plain get", [&] { return EXMIImpl::httpGet("http://" + closed + "/list", {}, trusted()); },
         TransferError::NotHttps, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const HttpResponse response = c.send();
        EXPECT_EQ(EXMIImpl::transferErrorName(c.error), std::string(EXMIImpl::transferErrorName(response.error)));
        EXPECT_EQ(0u, response.status);
        if (c.bytes != "*") {
            EXPECT_EQ(c.bytes, response.body);
        }
        EXPECT_LE(response.body.size(), cap);
    }
    EXPECT_EQ("the user's own file", testing_support::readWholeFile(local));
    // One at the cap is taken whole.
    const HttpResponse whole = EXMIImpl::httpGet(url("/sized/" + std::to_string(cap)), {}, trusted(120s));
    EXPECT_EQ(200u, whole.status);
    EXPECT_EQ(cap, whole.body.size());
}

// A file goes up as it lies on disk, in chunks, with the announced length;
// a file of another length and a missing one fail before a byte is sent, as
// does a cancel (one during the transfer is the upload workflow tests').
// Whichever way it ends, the file is closed before the request lets go of
// its owner (who deletes it then).
TEST_F(HttpLayer, AFileStreamsAsThePutBodyOnlyAtItsAnnouncedLengthAndIsClosedBeforeItsOwnerGoes) {
    testing_support::ScratchFolder scratch;
    const std::string bytes = emulator_test::randomBytes(3 * 1024 * 1024 + 17, 9);
    const std::string path = scratch / "file.bin";
    testing_support::writeWholeFile(path, bytes);
    const std::string missing = scratch / "none.bin";
    const struct {
        std::string path;
        uint64_t length;
        bool cancelled;
        TransferError error;
        std::string detail;
    } cases[] = {
        {path, bytes.size(), false, TransferError::None, ""},
        {path, bytes.size() + 1, false, TransferError::File,
         "the file changed after it was announced (" + std::to_string(bytes.size() + 1) + " bytes, now " +
             std::to_string(bytes.size()) + "): " + path},
        {missing, 5, false, TransferError::File, "could not read file: " + missing},
        {scratch.path(), 5, false, TransferError::File, "could not read file: " + scratch.path()},
        {path, bytes.size(), true, TransferError::Aborted, ""},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.detail);
        const size_t seenBefore = seenCount();
        auto request = std::make_shared<EXMI::IAsyncPutFileRequest>("put", url("/put"), "application/x-bytes", "",
                                                                    item.path, item.length, trusted(30s));
        // Counts the descriptors open on the file when the owner goes.
        auto openWhenReleased = std::make_shared<int>(-1);
        request->fileOwner = std::shared_ptr<const void>(nullptr, [openWhenReleased, &item](const void*) {
            *openWhenReleased = testing_support::openDescriptorsOf(item.path);
        });
        if (item.cancelled) request->cancel();
        const HttpResponse response = request->execute();
        EXPECT_EQ(0, *openWhenReleased);
        EXPECT_EQ(item.error, response.error);
        EXPECT_EQ(item.detail, response.detail);
        if (item.error != TransferError::None) {
            EXPECT_EQ(seenBefore, seenCount());
            continue;
        }
        EXPECT_EQ(201u, response.status);
        EXPECT_TRUE(lastSeen().body == bytes);
        EXPECT_EQ(std::to_string(bytes.size()), lastSeen().get_header_value("Content-Length"));
        EXPECT_EQ(bytes.size(), request->bytesSent());
    }
}

TEST(HeaderParsing, TrimsKeysAndValuesAndMarksLinesWithoutColon) {
    HttpResponse response;
    for (std::string line : {"HTTP/1.1 200 OK\r\n", "Content-Type :  application/json  \r\n", "X-Empty:\r\n",
                             "Location: https://h:1/p\r\n", "X-Twice: 1\r\n", "X-Twice: 2\r\n", "\r\n"}) {
        EXMIImpl::HttpConnection::headerCallback(line.data(), 1, line.size(), &response);
    }
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
