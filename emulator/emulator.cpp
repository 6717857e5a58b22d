#include "emulator/emulator.h"

#include "emulator/certificates.h"
#include "emulator/exchange.h"
#include "emulator/routes.h"
#include "emulator/service_state.h"
#include "emulator/state_json.h"

#include <httplib.h>
#include <openssl/ssl.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <thread>

namespace emulator {

namespace fs = std::filesystem;

namespace {

// A new folder of its own under the system's temporary folder; empty when
// none could be made.
std::string makeFolder() {
#ifdef _WIN32
    std::random_device seed;
    std::mt19937_64 random(seed());
    std::error_code error;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate =
            fs::temp_directory_path() / ("stratavox-emulator-" + std::to_string(random() % 1000000000000ULL));
        if (fs::create_directory(candidate, error)) return candidate.string();
    }
    return std::string();
#else
    std::string pattern = (fs::temp_directory_path() / "stratavox-emulator-XXXXXX").string();
    return mkdtemp(pattern.data()) == nullptr ? std::string() : pattern;
#endif
}

}  // namespace

ServiceState::ServiceState(const CloudEmulator::Options& opts)
    : options(opts), uploadUrlLifetimeSeconds(opts.uploadUrlLifetime.count()),
      accounts(AccountService::Config{opts.clientId, opts.redirectUri, opts.allowedScopes, opts.user, opts.password,
                                      opts.tokenLifetime, opts.codeLifetime}) {}

struct CloudEmulator::Impl {
    explicit Impl(const Options& options) : state(options) {}

    // Chooses the certificate per handshake: the untrusted one while that
    // fault is armed. OpenSSL calls this on the server's worker threads.
    static int selectCertificate(SSL* ssl, void* arg) {
        auto* impl = static_cast<Impl*>(arg);
        if (impl->state.faults.takeUntrustedCertificate()) {
            if (SSL_use_certificate(ssl, impl->certificates.rogueServerCertificate()) != 1 ||
                SSL_use_PrivateKey(ssl, impl->certificates.rogueServerKey()) != 1) {
                return 0;
            }
        }
        return 1;
    }

    bool setupContext(SSL_CTX& ctx) {
        SSL_CTX_set_min_proto_version(&ctx, TLS1_2_VERSION);
        // No session resumption: every handshake shows a certificate, so the
        // untrusted-certificate fault cannot be skipped by a cached session.
        SSL_CTX_set_options(&ctx, SSL_OP_NO_COMPRESSION | SSL_OP_NO_TICKET);
        SSL_CTX_set_session_cache_mode(&ctx, SSL_SESS_CACHE_OFF);
        SSL_CTX_set_num_tickets(&ctx, 0);
        if (SSL_CTX_use_certificate(&ctx, certificates.serverCertificate()) != 1) return false;
        if (SSL_CTX_use_PrivateKey(&ctx, certificates.serverKey()) != 1) return false;
        SSL_CTX_set_cert_cb(&ctx, &Impl::selectCertificate, this);
        return true;
    }

    void fail(const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex);
        error = text;
    }

    void removeFolder() {
        if (folder.empty()) return;
        std::error_code ignored;
        fs::remove_all(folder, ignored);
        folder.clear();
    }

    ServiceState state;
    CertificateSet certificates;
    std::unique_ptr<httplib::SSLServer> server;
    std::thread thread;
    std::mutex lifecycle;      // serialises start/stop
    mutable std::mutex mutex;  // guards the fields below
    bool running = false;
    int port = 0;
    std::string folder;  // temporary folder, removed at stop
    std::string caPath;
    std::string error;
};

CloudEmulator::CloudEmulator() : CloudEmulator(Options()) {}
CloudEmulator::CloudEmulator(Options options) : impl_(new Impl(options)) {}
CloudEmulator::~CloudEmulator() { stop(); }

bool CloudEmulator::start() {
    std::lock_guard<std::mutex> lifecycle(impl_->lifecycle);
    Impl& d = *impl_;
    if (running()) return true;
#ifndef _WIN32
    // Writing to a socket the client has closed must be an error, not the
    // end of the process (tests drop connections on purpose). Windows has
    // no such signal.
    struct sigaction old {};
    if (sigaction(SIGPIPE, nullptr, &old) == 0 && old.sa_handler == SIG_DFL) {
        std::signal(SIGPIPE, SIG_IGN);
    }
#endif

    std::string error;
    if (!d.certificates.generate(&error)) {
        d.fail("certificate generation failed: " + error);
        return false;
    }
    const std::string folder = makeFolder();
    if (folder.empty()) {
        d.fail("cannot create a temporary folder");
        return false;
    }
    std::string caPath = folder + "/ca.pem";
    {
        std::ofstream out(caPath, std::ios::binary);
        out << d.certificates.caPem();
        if (!out) {
            fs::remove_all(folder);
            d.fail("cannot write the CA bundle");
            return false;
        }
    }
    std::string storage = d.state.options.storageDir.empty() ? folder + "/storage" : d.state.options.storageDir;
    std::error_code ec;
    fs::create_directories(storage, ec);
    if (ec) {
        fs::remove_all(folder);
        d.fail("cannot create the storage folder " + storage);
        return false;
    }

    auto server = std::make_unique<httplib::SSLServer>([&d](SSL_CTX& ctx) { return d.setupContext(ctx); });
    if (!server->is_valid()) {
        fs::remove_all(folder);
        d.fail("TLS server set-up failed");
        return false;
    }
    // Answers go out as soon as they are written: with Nagle's algorithm the
    // body would wait for the client's delayed acknowledgement of the head,
    // about 40 ms on every request, which no real service adds.
    server->set_tcp_nodelay(true);
    installAccountRoutes(*server, d.state);
    installApiRoutes(*server, d.state);
    installStorageRoutes(*server, d.state);
    installPageRoutes(*server, d.state);

    const std::string& host = d.state.options.host;
    int port = d.state.options.port == 0
                   ? server->bind_to_any_port(host)
                   : (server->bind_to_port(host, d.state.options.port) ? d.state.options.port : -1);
    if (port <= 0) {
        fs::remove_all(folder);
        d.fail("cannot bind " + host + ":" + std::to_string(d.state.options.port));
        return false;
    }
    std::string hostPart = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    d.state.origin = "https://" + hostPart + ":" + std::to_string(port);
    d.state.storageFolder = storage;
    d.state.accounts.setRedirectUri(d.state.options.redirectUri.empty() ? d.state.origin + "/stratavox/"
                                                                        : d.state.options.redirectUri);
    d.state.stop.reset();

    httplib::SSLServer* raw = server.get();
    d.thread = std::thread([raw] { raw->listen_after_bind(); });
    // stop() only acts on a server that is listening; wait until it is so a
    // quick start/stop cannot leave the thread running.
    while (!raw->is_running()) std::this_thread::yield();

    std::lock_guard<std::mutex> lock(d.mutex);
    d.server = std::move(server);
    d.port = port;
    d.folder = folder;
    d.caPath = caPath;
    d.error.clear();
    d.running = true;
    return true;
}

void CloudEmulator::stop() {
    std::lock_guard<std::mutex> lifecycle(impl_->lifecycle);
    Impl& d = *impl_;
    if (!running()) return;
    d.state.stop.trigger();  // wakes delayed answers
    d.server->stop();
    if (d.thread.joinable()) d.thread.join();
    std::lock_guard<std::mutex> lock(d.mutex);
    d.server.reset();
    d.removeFolder();
    d.running = false;
}

bool CloudEmulator::running() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->running;
}

std::string CloudEmulator::lastError() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->error;
}

int CloudEmulator::port() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->port;
}

std::string CloudEmulator::caBundlePath() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->caPath;
}

std::string CloudEmulator::accountServer() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->state.origin;
}

std::string CloudEmulator::apiBase() const { return accountServer() + "/plyx/v1"; }
std::string CloudEmulator::webApp() const { return accountServer() + "/app/library/"; }
std::string CloudEmulator::redirectUri() const { return impl_->state.accounts.redirectUri(); }

std::string CloudEmulator::environmentExports() const {
    auto line = [](const char* name, const std::string& value) {
        return std::string("export ") + name + "='" + value + "'\n";
    };
    return line("STRATAVOX_ACCOUNT_SERVER", accountServer()) + line("STRATAVOX_API_BASE", apiBase()) +
           line("STRATAVOX_WEB_APP", webApp()) + line("STRATAVOX_REDIRECT_URI", redirectUri()) +
           line("STRATAVOX_CA_BUNDLE", caBundlePath());
}

void CloudEmulator::setFault(Endpoint endpoint, Fault fault) { impl_->state.faults.set(endpoint, fault); }
void CloudEmulator::clearFault(Endpoint endpoint) { impl_->state.faults.clear(endpoint); }
void CloudEmulator::clearFaults() { impl_->state.faults.clearAll(); }

void CloudEmulator::setTokenLifetime(std::chrono::seconds lifetime) {
    impl_->state.accounts.setTokenLifetime(lifetime);
}

void CloudEmulator::expireAccessTokens() { impl_->state.accounts.expireAccessTokens(); }

std::string CloudEmulator::authorizeDirect(const std::string& authorizeUrl, const std::string& user,
                                           std::string* error) {
    std::size_t q = authorizeUrl.find('?');
    std::string query = q == std::string::npos ? authorizeUrl : authorizeUrl.substr(q + 1);
    Params params = parseParams(query);
    AccountService::AuthorizeRequest request;
    AccountService::AuthorizeCheck check = impl_->state.accounts.validateAuthorize(params, request);
    if (!check.ok || user.empty()) {
        if (error != nullptr) *error = check.ok ? "empty user name" : check.error + ": " + check.description;
        return std::string();
    }
    return impl_->state.accounts.issueCodeRedirect(request, user);
}

std::string CloudEmulator::denyDirect(const std::string& authorizeUrl, const std::string& error,
                                      const std::string& description) {
    std::size_t q = authorizeUrl.find('?');
    Params params = parseParams(q == std::string::npos ? authorizeUrl : authorizeUrl.substr(q + 1));
    AccountService::AuthorizeRequest request;
    if (!impl_->state.accounts.validateAuthorize(params, request).redirectable) return std::string();
    return impl_->state.accounts.errorRedirect(request, error, description);
}

std::string CloudEmulator::issueAccessToken(const std::vector<std::string>& scopes) {
    return impl_->state.accounts.issueAccessToken(scopes);
}

std::string CloudEmulator::addProject(const std::string& name, const std::string& description) {
    return impl_->state.projects.create(name, description).id;
}

std::vector<Project> CloudEmulator::projects() const { return impl_->state.projects.all(); }
std::vector<StoredFile> CloudEmulator::storedFiles() const { return impl_->state.uploads.stored(); }
std::vector<RecordedRequest> CloudEmulator::requests() const { return impl_->state.log.all(); }
void CloudEmulator::clearRequests() { impl_->state.log.clear(); }

std::string CloudEmulator::stateJson() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return emulator::stateJson(impl_->state);
}

}  // namespace emulator
