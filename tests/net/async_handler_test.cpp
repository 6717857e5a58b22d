// The request handler: ordering of results and error routing. What it puts
// on the wire, and request properties, are checked by the connector tests.
#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/async_handler.h"
#include "tests/net/pump.h"

namespace {

using cloudtest::drain;
using cloudtest::pumpUntil;
using EXMI::IAsyncHandler;
using EXMI::IAsyncRequest;
using EXMI::IAsyncResponse;

// Finishes when its gate opens; can throw a standard or a non-standard value.
class ScriptedRequest : public IAsyncRequest {
public:
    enum class Outcome { Respond, ThrowRuntime, ThrowInt };

    ScriptedRequest(std::string name, Outcome outcome)
        : IAsyncRequest(std::move(name)), outcome_(outcome), released_(gate_.get_future()) {}

    std::shared_ptr<IAsyncResponse> execute() override {
        released_.wait_for(std::chrono::seconds(30));
        if (outcome_ == Outcome::ThrowRuntime) throw std::runtime_error("worker failed: " + name);
        if (outcome_ == Outcome::ThrowInt) throw 42;
        return std::make_shared<EXMI::IAsyncRESTResponse>(200, std::vector<uint8_t>{'o', 'k'});
    }

    void release() { gate_.set_value(); }

private:
    Outcome outcome_;
    std::promise<void> gate_;
    std::future<void> released_;
};

std::shared_ptr<ScriptedRequest> scripted(const std::string& name,
                                          ScriptedRequest::Outcome outcome = ScriptedRequest::Outcome::Respond) {
    return std::make_shared<ScriptedRequest>(name, outcome);
}

// What reached the callbacks, in order: "response:NAME" or "error:NAME:TEXT".
struct Journal {
    std::vector<std::string> entries;

    EXMI::ResponseCallback onResponse() {
        return [this](IAsyncResponse* response) { entries.push_back("response:" + response->request->name); };
    }
    EXMI::ErrorCallback onError() {
        return [this](IAsyncRequest* request, const std::string& text) {
            entries.push_back("error:" + request->name + ":" + text);
        };
    }
};

TEST(AsyncHandler, NothingPendingReturnsAtOnceAndNullRequestsAreRefused) {
    IAsyncHandler handler;
    handler.processResponses();
    EXPECT_EQ(0u, handler.pendingCount());
    try {
        handler.submit(nullptr, nullptr, nullptr);
        FAIL() << "null request accepted";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ("invalid async request", error.what());
    }
    EXPECT_EQ(0u, handler.pendingCount());
}

TEST(AsyncHandler, LaterRequestFinishingFirstIsDispatchedFirst) {
    IAsyncHandler handler;
    Journal journal;
    auto a = scripted("A");
    auto b = scripted("B");
    handler.submit(a, journal.onResponse(), journal.onError());
    handler.submit(b, journal.onResponse(), journal.onError());
    EXPECT_EQ(2u, handler.pendingCount());

    b->release();
    ASSERT_TRUE(pumpUntil(handler, [&] { return !journal.entries.empty(); }));
    // A is still running: one more call must not dispatch it.
    handler.processResponses();
    EXPECT_EQ(std::vector<std::string>({"response:B"}), journal.entries);
    EXPECT_EQ(1u, handler.pendingCount());

    a->release();
    ASSERT_TRUE(drain(handler));
    EXPECT_EQ(std::vector<std::string>({"response:B", "response:A"}), journal.entries);
}

TEST(AsyncHandler, FailuresOnTheWorkerReachOnErrorWithTheirText) {
    IAsyncHandler handler;
    Journal journal;
    auto standard = scripted("S", ScriptedRequest::Outcome::ThrowRuntime);
    auto other = scripted("N", ScriptedRequest::Outcome::ThrowInt);
    handler.submit(standard, journal.onResponse(), journal.onError());
    handler.submit(other, journal.onResponse(), journal.onError());
    standard->release();
    ASSERT_TRUE(pumpUntil(handler, [&] { return journal.entries.size() == 1; }));
    other->release();
    ASSERT_TRUE(drain(handler));
    EXPECT_EQ(std::vector<std::string>({"error:S:worker failed: S", "error:N:<unknown exception>"}), journal.entries);
}

TEST(AsyncHandler, ThrowingResponseCallbackIsRoutedToOnErrorInTheSameCall) {
    IAsyncHandler handler;
    std::vector<std::string> seen;
    auto standard = scripted("S");
    auto other = scripted("N");
    auto failing = [](const char* kind) {
        return [kind](IAsyncResponse*) {
            if (std::string(kind) == "standard") throw std::runtime_error("parse failed");
            throw 7;
        };
    };
    auto record = [&seen](IAsyncRequest* request, const std::string& text) {
        seen.push_back(request->name + ":" + text);
    };
    handler.submit(standard, failing("standard"), record);
    handler.submit(other, failing("other"), record);
    standard->release();
    // Routed within the very call that dispatched the response.
    ASSERT_TRUE(pumpUntil(handler, [&] { return handler.pendingCount() == 1; }));
    EXPECT_EQ(std::vector<std::string>({"S:parse failed"}), seen);
    other->release();
    ASSERT_TRUE(drain(handler));
    EXPECT_EQ(std::vector<std::string>({"S:parse failed", "N:<Unknown Exception>"}), seen);
}

TEST(AsyncHandler, ThrowingErrorCallbackDoesNotCostTheOtherResults) {
    IAsyncHandler handler;
    Journal journal;
    auto first = scripted("first", ScriptedRequest::Outcome::ThrowRuntime);
    auto second = scripted("second");
    handler.submit(first, journal.onResponse(),
                   [](IAsyncRequest*, const std::string&) { throw std::runtime_error("again"); });
    handler.submit(second, journal.onResponse(), journal.onError());
    first->release();
    second->release();
    // Without the guard the exception would leave processResponses here.
    ASSERT_TRUE(drain(handler));
    EXPECT_EQ(std::vector<std::string>({"response:second"}), journal.entries);
}

}  // namespace
