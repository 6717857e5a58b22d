// bench_upload_client FILE PROJECT_ID: uploads FILE into the project through
// the add-in's connector, as the cloud palette does, and reports how long
// the upload took. Started by the upload benchmark, whose emulator the
// STRATAVOX_* variables name.
//
// Conversation on standard input and output:
//   out: "authorize <address>"   the sign-in page the palette would show
//   in:  "<redirect address>"    where the account server sent the browser
//   out: "uploaded <seconds> <start> <success>"
//                                from uploadToProject to the success screen;
//                                both instants in nanoseconds of the
//                                monotonic clock
//     or "failed <message>"      (exit code 1)
//
// The request handler is pumped as the add-in's machine is: when a worker
// wakes this thread, and otherwise once a second like the heartbeat.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>

#include "cloud/service_configuration.h"
#include "cloud/stratavox_connector.h"
#include "net/async_handler.h"

namespace {

using Clock = std::chrono::steady_clock;
using EXMIImpl::IStratavoxURLInterface;

const char* const kClientId = "sv-----------------------quorvane_kalvix_app";
const char* const kPackageType = "application/vnd.ms-package.3dmanufacturing-3dmodel+xml";

class Listener : public IStratavoxURLInterface {
public:
    void setScreen(int32_t screen, const std::string& text) override {
        lastScreen = screen;
        lastText = text;
    }
    void setProjectList(const std::shared_ptr<EXMIImpl::CStratavoxFabriqoProjectList>&, const std::string&) override {
        gotProjects = true;
    }
    void showFailure(const EXMIImpl::CloudFailure& failure) override {
        lastScreen = kFailed;
        lastText = failure.message;
    }
    void onSignedOut() override {}

    static constexpr int32_t kFailed = -1;

    int32_t lastScreen = 0;
    std::string lastText;
    bool gotProjects = false;
};

// What the host's custom event does for the machine: a worker's wake-up
// makes the UI thread dispatch at once.
struct Wakeups {
    std::mutex mutex;
    std::condition_variable wake;
    bool pending = false;

    void post() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            pending = true;
        }
        wake.notify_one();
    }
    void waitAtMost(std::chrono::seconds limit) {
        std::unique_lock<std::mutex> lock(mutex);
        wake.wait_for(lock, limit, [this] { return pending; });
        pending = false;
    }
};

template <typename Condition>
bool pumpUntil(EXMI::IAsyncHandler& handler, Wakeups& wakeups, Condition condition, std::chrono::seconds limit) {
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        handler.processResponses();
        if (condition()) return true;
        wakeups.waitAtMost(std::chrono::seconds(1));
    }
    return false;
}

long long nanosecondsOf(Clock::time_point at) {
    return static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count());
}

int failed(const std::string& message) {
    std::cout << "failed " << message << std::endl;
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: bench_upload_client FILE PROJECT_ID\n";
        return 2;
    }
    const std::string file = argv[1];
    const std::string project = argv[2];
    try {
        Wakeups wakeups;
        auto handler = std::make_shared<EXMI::IAsyncHandler>();
        handler->setUserAgent("bench_upload_client");
        handler->setWakeup([&wakeups] { wakeups.post(); });
        Listener listener;
        EXMIImpl::CStratavoxFabriqoConnector connector(
            kClientId, EXMIImpl::ServiceConfiguration::fromEnvironment().redirectUri, &listener, handler);
        for (const char* scope : {"account.user.read", "plyx.mesh.write", "library.project.write",
                                  "library.project.read", "plyx.printjob.write"})
            connector.addScope(scope);

        std::cout << "authorize " << connector.getAuthorizeUrl(false) << std::endl;
        std::string redirect;
        if (!std::getline(std::cin, redirect)) return failed("no redirect address");
        connector.handleRedirect(redirect);
        if (!pumpUntil(
                *handler, wakeups, [&] { return listener.gotProjects || listener.lastScreen == Listener::kFailed; },
                std::chrono::seconds(60)) ||
            !connector.isSignedIn())
            return failed("sign-in did not finish: " + listener.lastText);

        const auto start = Clock::now();
        connector.uploadToProject(project, file, "bench.3mf", kPackageType, false);
        const bool ended = pumpUntil(
            *handler, wakeups, [&] { return listener.lastScreen == 5 || listener.lastScreen == Listener::kFailed; },
            std::chrono::seconds(3600));
        const auto end = Clock::now();
        const double seconds = std::chrono::duration<double>(end - start).count();
        if (!ended) return failed("the upload did not finish within an hour");
        if (listener.lastScreen != 5) return failed(listener.lastText);
        std::printf("uploaded %.6f %lld %lld\n", seconds, nanosecondsOf(start), nanosecondsOf(end));
        return 0;
    } catch (const std::exception& error) {
        return failed(error.what());
    }
}
