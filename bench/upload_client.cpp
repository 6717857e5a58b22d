// bench_upload_client FILE PROJECT_ID: uploads FILE into the project through
// the add-in's connector, as the cloud palette does, and reports how long
// the upload took. Started by the upload benchmark, whose emulator the
// STRATAVOX_* variables name.
//
// Conversation on standard input and output:
//   out: "authorize <address>"   the sign-in page the palette would show
//   in:  "<redirect address>"    where the account server sent the browser
//   out: "uploaded <seconds>"    from uploadToProject to the success screen
//     or "failed <message>"      (exit code 1)
//
// The request handler is pumped every millisecond rather than once per
// heartbeat, so the time is that of the transfer, not of the host's tick.

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "cloud/stratavox_connector.h"
#include "net/async_handler.h"
#include "net/service_addresses.h"

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
    void onSignedOut() override {}

    int32_t lastScreen = 0;
    std::string lastText;
    bool gotProjects = false;
};

template <typename Condition>
bool pumpUntil(EXMI::IAsyncHandler& handler, Condition condition, std::chrono::seconds limit) {
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        handler.processResponses();
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
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
        auto handler = std::make_shared<EXMI::IAsyncHandler>();
        handler->setUserAgent("bench_upload_client");
        Listener listener;
        EXMIImpl::CStratavoxFabriqoConnector connector(kClientId, EXMIImpl::redirectUri(), &listener, handler);
        for (const char* scope : {"account.user.read", "plyx.mesh.write", "library.project.write",
                                  "library.project.read", "plyx.printjob.write"})
            connector.addScope(scope);

        std::cout << "authorize " << connector.getAuthorizeUrl(false) << std::endl;
        std::string redirect;
        if (!std::getline(std::cin, redirect)) return failed("no redirect address");
        connector.handleRedirect(redirect);
        if (!pumpUntil(
                *handler, [&] { return listener.gotProjects || listener.lastScreen == 6; }, std::chrono::seconds(60)) ||
            !connector.isSignedIn())
            return failed("sign-in did not finish: " + listener.lastText);

        const auto start = Clock::now();
        connector.uploadToProject(project, file, "bench.3mf", kPackageType, false);
        const bool ended = pumpUntil(
            *handler, [&] { return listener.lastScreen == 5 || listener.lastScreen == 6; }, std::chrono::seconds(3600));
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (!ended) return failed("the upload did not finish within an hour");
        if (listener.lastScreen != 5) return failed(listener.lastText);
        std::printf("uploaded %.6f\n", seconds);
        return 0;
    } catch (const std::exception& error) {
        return failed(error.what());
    }
}
