#include "tests/net/local_server.h"

#include <cstdlib>
#include <stdexcept>

namespace cloudtest {

TestCertificates::TestCertificates() : caPath_(folder_ / "ca.pem") {
    std::string error;
    if (!set_.generate(&error)) throw std::runtime_error("test certificates: " + error);
    testing_support::writeWholeFile(caPath_, set_.caPem());
}

std::string SeenRequest::header(const std::string& name) const {
    const auto found = headers.find(name);
    return found == headers.end() ? std::string() : found->second;
}

bool SeenRequest::hasHeader(const std::string& name) const { return headers.count(name) > 0; }

void Gate::open() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
    }
    changed_.notify_all();
}

bool Gate::waitFor(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, [this] { return open_; });
}

LocalServer::LocalServer(const TestCertificates& certificates)
    : server_(certificates.serverCertificate(), certificates.serverKey()) {
    // Recorded after routing but before the answer's first byte is written,
    // so a client that has its answer always finds its request here. (The
    // logger would run only after the answer was sent.)
    server_.set_post_routing_handler([this](const httplib::Request& request, httplib::Response&) {
        SeenRequest seen;
        for (const auto& header : request.headers) seen.headers.insert(header);
        seen.body = request.body;
        std::lock_guard<std::mutex> lock(mutex_);
        seen_.push_back(std::move(seen));
    });
}

LocalServer::~LocalServer() {
    server_.stop();
    if (thread_.joinable()) thread_.join();
}

void LocalServer::start() {
    if (!server_.is_valid()) throw std::runtime_error("local server: invalid TLS set-up");
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("local server: cannot bind");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // stop() is only effective once the accept loop runs.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!server_.is_running()) {
        if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error("local server: did not start");
        std::this_thread::yield();
    }
}

std::string LocalServer::url(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<SeenRequest> LocalServer::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

void LocalServerTest::SetUp() {
    certificates = std::make_unique<TestCertificates>();
    setenv("STRATAVOX_CA_BUNDLE", certificates->caBundlePath().c_str(), 1);
    server = std::make_unique<LocalServer>(*certificates);
}

void LocalServerTest::TearDown() {
    server.reset();
    unsetenv("STRATAVOX_CA_BUNDLE");
}

}  // namespace cloudtest
