// Destroying the request handler while requests are in flight: transfers are
// aborted, workers are waited for (up to the deadline), nothing is dispatched;
// the abort hook of the HTTP layer that makes this possible.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "net/async_handler.h"
#include "net/http_client.h"
#include "net/http_connection.h"
#include "support/log.h"
#include "tests/net/local_server.h"
#include "tests/net/pump.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using cloudtest::Gate;
using cloudtest::waitUntil;
using EXMI::IAsyncHandler;
using EXMI::IAsyncRequest;
using EXMI::IAsyncResponse;

// Destroys the handler and returns how long that took.
std::chrono::milliseconds timeDestruction(std::unique_ptr<IAsyncHandler>& handler) {
    const auto start = Clock::now();
    handler.reset();
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

// Counts every callback call; none may happen once the handler is being destroyed.
struct CallCounter {
    std::atomic<int> calls{0};
    EXMI::ResponseCallback onResponse() {
        return [this](IAsyncResponse*) { ++calls; };
    }
    EXMI::ErrorCallback onError() {
        return [this](IAsyncRequest*, const std::string&) { ++calls; };
    }
};

// An HTTPS server whose "/slow" answers only when its gate opens.
class SlowServer : public cloudtest::LocalServerTest {
protected:
    void SetUp() override {
        LocalServerTest::SetUp();
        auto answerLate = [this](const httplib::Request&, httplib::Response& res) {
            ++arrived;
            gate.waitFor(std::chrono::seconds(30));
            res.set_content("late", "text/plain");
        };
        server->routes().Get("/slow", answerLate);
        server->routes().Post("/slow", answerLate);
        server->routes().Get(
            "/ready", [](const httplib::Request&, httplib::Response& res) { res.set_content("ready", "text/plain"); });
        server->start();
        // The uninstrumented server library builds a table on its first
        // request; two first requests at once look like a race to
        // ThreadSanitizer. One request alone first keeps the reports to our code.
        ASSERT_EQ(200, EXMIImpl::httpGet(server->url("/ready"), {}, 10s, true).code);
    }
    void TearDown() override {
        gate.open();
        LocalServerTest::TearDown();
    }

    Gate gate;
    std::atomic<int> arrived{0};
};

TEST_F(SlowServer, DestroyingTheHandlerAbortsWaitingTransfersAndWaitsForTheirWorkers) {
    auto handler = std::make_unique<IAsyncHandler>();
    CallCounter counter;
    // Timeout 0 has no limit at all: only the abort can end this one.
    auto unlimited = EXMI::createGetRequest("unlimited", server->url("/slow"), "", 0s);
    auto limited = EXMI::createPostRequest("limited", server->url("/slow"), "text/plain", "tok", "body", 60s);
    std::weak_ptr<IAsyncRequest> unlimitedSeen = unlimited;
    std::weak_ptr<IAsyncRequest> limitedSeen = limited;
    handler->submit(unlimited, counter.onResponse(), counter.onError());
    handler->submit(limited, counter.onResponse(), counter.onError());
    unlimited.reset();
    limited.reset();
    ASSERT_TRUE(cloudtest::pumpUntil(*handler, [&] { return arrived.load() == 2; }));
    EXPECT_EQ(2u, handler->runningCount());

    const auto took = timeDestruction(handler);
    EXPECT_LT(took, IAsyncHandler::kDefaultStopDeadline);
    // Both workers let go of their requests (and the callbacks) before the
    // destructor returned.
    EXPECT_TRUE(unlimitedSeen.expired());
    EXPECT_TRUE(limitedSeen.expired());
    gate.open();
    EXPECT_EQ(0, counter.calls.load());
}

// The survivor's transfers end as they would have: by their answer, or by
// their own timeout (28, not an abort).
TEST_F(SlowServer, OnlyTheDestroyedHandlersTransfersAreAborted) {
    auto doomed = std::make_unique<IAsyncHandler>();
    IAsyncHandler survivor;
    CallCounter doomedCalls;
    std::vector<std::string> seen;
    doomed->submit(EXMI::createGetRequest("doomed", server->url("/slow"), "", 0s), doomedCalls.onResponse(),
                   doomedCalls.onError());
    auto record = [&](IAsyncResponse* response) {
        auto* rest = dynamic_cast<EXMI::IAsyncRESTResponse*>(response);
        ASSERT_NE(nullptr, rest);
        seen.push_back(std::to_string(rest->getCode()) + (rest->getCode() == 200 ? " " + rest->getBody() : ""));
    };
    auto fail = [&](IAsyncRequest*, const std::string& text) { seen.push_back("error " + text); };
    survivor.submit(EXMI::createGetRequest("kept", server->url("/slow"), "", 30s), record, fail);
    survivor.submit(EXMI::createGetRequest("short", server->url("/slow"), "", 1s), record, fail);
    ASSERT_TRUE(waitUntil([&] { return arrived.load() == 3; }));

    EXPECT_LT(timeDestruction(doomed), IAsyncHandler::kDefaultStopDeadline);
    ASSERT_TRUE(cloudtest::pumpUntil(survivor, [&] { return !seen.empty(); }));
    gate.open();
    ASSERT_TRUE(cloudtest::drain(survivor));
    EXPECT_EQ(std::vector<std::string>({"28", "200 late"}), seen);
    EXPECT_TRUE(waitUntil([&] { return survivor.runningCount() == 0; }));
    EXPECT_EQ(0, doomedCalls.calls.load());
}

// The HTTP layer's abort hook on its own: scoped to the thread, nestable.
TEST_F(SlowServer, AbortScopeEndsTheTransfersOfItsThreadOnly) {
    std::atomic<bool> flag{false};
    EXMIImpl::HttpResponse aborted;
    std::chrono::milliseconds took{0};
    {
        EXMIImpl::HttpAbortScope scope(&flag);
        EXPECT_FALSE(EXMIImpl::HttpAbortScope::abortRequested());
        std::thread raiser([&] {
            if (waitUntil([&] { return arrived.load() == 1; })) flag.store(true);
        });
        const auto start = Clock::now();
        aborted = EXMIImpl::httpGet(server->url("/slow"), {}, 0s, true);
        took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        raiser.join();
        EXPECT_TRUE(EXMIImpl::HttpAbortScope::abortRequested());
        {
            std::atomic<bool> inner{false};
            EXMIImpl::HttpAbortScope nested(&inner);
            EXPECT_FALSE(EXMIImpl::HttpAbortScope::abortRequested());
        }
        EXPECT_TRUE(EXMIImpl::HttpAbortScope::abortRequested());
    }
    EXPECT_EQ(-1, aborted.code);
    EXPECT_EQ("Failed to query.", aborted.body);
    EXPECT_LT(took, std::chrono::seconds(5));

    // Out of the scope the raised flag no longer reaches this thread's transfers.
    EXPECT_FALSE(EXMIImpl::HttpAbortScope::abortRequested());
    gate.open();
    const EXMIImpl::HttpResponse normal = EXMIImpl::httpGet(server->url("/slow"), {}, 10s, true);
    EXPECT_EQ(200, normal.code);
    EXPECT_EQ("late", normal.body);
}

// A loopback port that accepts connections but never says a word: a TLS
// handshake there waits forever.
class SilentPort {
public:
    SilentPort() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd_ < 0) throw std::runtime_error("socket");
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof(address);
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(fd_, 8) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            ::close(fd_);
            throw std::runtime_error("silent port");
        }
        port_ = ntohs(address.sin_port);
    }
    ~SilentPort() {
        if (client_ >= 0) ::close(client_);
        ::close(fd_);
    }
    std::string url() const { return "https://127.0.0.1:" + std::to_string(port_) + "/x"; }

    // True once a client has connected (within 30 s); its connection is kept open.
    bool waitForClient() {
        pollfd ready{fd_, POLLIN, 0};
        if (::poll(&ready, 1, 30000) != 1) return false;
        client_ = ::accept(fd_, nullptr, nullptr);
        return client_ >= 0;
    }

private:
    int fd_ = -1;
    int client_ = -1;
    int port_ = 0;
};

TEST(AsyncShutdown, TransferStuckInTheHandshakeIsAbortedToo) {
    SilentPort silent;
    auto handler = std::make_unique<IAsyncHandler>();
    CallCounter counter;
    auto request = EXMI::createGetRequest("mute", silent.url(), "", 0s);
    std::weak_ptr<IAsyncRequest> seen = request;
    handler->submit(request, counter.onResponse(), counter.onError());
    request.reset();
    ASSERT_TRUE(silent.waitForClient());
    EXPECT_LT(timeDestruction(handler), IAsyncHandler::kDefaultStopDeadline);
    EXPECT_TRUE(seen.expired());
    EXPECT_EQ(0, counter.calls.load());
}

// Work that is not a transfer: finishes when released, or when it sees the
// abort, after which it still waits for `cleanupDone`. Reports its own
// destruction to a flag the test owns.
class ManualRequest : public IAsyncRequest {
public:
    enum class OnAbort { Ignore, Honour };

    ManualRequest(OnAbort mode, std::atomic<bool>& destroyed)
        : IAsyncRequest("manual"), mode_(mode), destroyed_(destroyed) {}
    ~ManualRequest() override { destroyed_.store(true); }

    std::shared_ptr<IAsyncResponse> execute() override {
        started.store(true);
        const auto deadline = Clock::now() + std::chrono::seconds(30);
        while (!release.load() && Clock::now() < deadline) {
            if (mode_ == OnAbort::Honour && EXMIImpl::HttpAbortScope::abortRequested()) {
                sawAbort.store(true);
                while (!cleanupDone.load() && Clock::now() < deadline)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        finished.store(true);
        return std::make_shared<EXMI::IAsyncRESTResponse>(200, std::vector<uint8_t>{'o', 'k'});
    }

    std::atomic<bool> started{false};
    std::atomic<bool> release{false};
    std::atomic<bool> sawAbort{false};
    std::atomic<bool> finished{false};
    std::atomic<bool> cleanupDone{false};

private:
    OnAbort mode_;
    std::atomic<bool>& destroyed_;
};

TEST(AsyncShutdown, DestructorWaitsForAWorkerThatIsStillCleaningUp) {
    std::atomic<bool> destroyed{false};
    auto handler = std::make_unique<IAsyncHandler>();
    CallCounter counter;
    auto request = std::make_shared<ManualRequest>(ManualRequest::OnAbort::Honour, destroyed);
    ManualRequest* raw = request.get();
    handler->submit(request, counter.onResponse(), counter.onError());
    request.reset();
    ASSERT_TRUE(waitUntil([&] { return raw->started.load(); }));

    // Opens the clean-up only once the worker has seen the abort, i.e. while
    // the destructor is already running.
    std::thread opener([raw] {
        if (waitUntil([raw] { return raw->sawAbort.load(); })) raw->cleanupDone.store(true);
    });
    const auto took = timeDestruction(handler);
    opener.join();
    EXPECT_LT(took, IAsyncHandler::kDefaultStopDeadline);
    EXPECT_TRUE(destroyed.load());
    EXPECT_EQ(0, counter.calls.load());
}

int countLogLines(const std::string& text) {
    std::ifstream file(support::logFilePath());
    int count = 0;
    for (std::string line; std::getline(file, line);)
        if (line.find(text) != std::string::npos) ++count;
    return count;
}

TEST(AsyncShutdown, WorkerIgnoringTheAbortIsLeftAfterTheDeadlineAndNeverDispatched) {
    const std::string logged = "1 request(s) still running; left to finish on their own";
    const int loggedBefore = countLogLines(logged);
    std::atomic<bool> destroyed{false};
    const auto deadline = std::chrono::milliseconds(200);
    auto handler = std::make_unique<IAsyncHandler>(deadline);
    CallCounter counter;
    auto request = std::make_shared<ManualRequest>(ManualRequest::OnAbort::Ignore, destroyed);
    handler->submit(request, counter.onResponse(), counter.onError());
    ASSERT_TRUE(waitUntil([&] { return request->started.load(); }));

    const auto took = timeDestruction(handler);
    EXPECT_GE(took, deadline);
    EXPECT_LT(took, IAsyncHandler::kDefaultStopDeadline);
    EXPECT_FALSE(request->finished.load());
    EXPECT_EQ(loggedBefore + 1, countLogLines(logged));

    // The worker finishes on its own; its result goes nowhere.
    request->release.store(true);
    ASSERT_TRUE(waitUntil([&] { return request->finished.load(); }));
    request.reset();
    EXPECT_TRUE(waitUntil([&] { return destroyed.load(); }));
    EXPECT_EQ(0, counter.calls.load());
}

}  // namespace
