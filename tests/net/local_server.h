#pragma once
// A small HTTPS server on 127.0.0.1 for HTTP-layer and handler tests that need
// answers the emulator cannot give (404 with a body, stalled bodies, echoes). Owns a cpp-httplib server and the thread
// that runs it; started by the test and stopped by the destructor. Routes are added before start(); every received
// request is recorded under a mutex before its answer is sent.

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "emulator/certificates.h"
#include "tests/support/scratch.h"

namespace cloudtest {

// Throwaway TLS material: the emulator's certificate set (a CA and a server
// certificate for 127.0.0.1), with the CA written to a temporary PEM file the client can
// trust through STRATAVOX_CA_BUNDLE. Built once on the test thread,
// read-only afterwards.
class TestCertificates {
public:
    TestCertificates();  // generates everything; throws on failure

    const std::string& caBundlePath() const { return caPath_; }
    X509* serverCertificate() const { return set_.serverCertificate(); }
    EVP_PKEY* serverKey() const { return set_.serverKey(); }

private:
    emulator::CertificateSet set_;
    testing_support::ScratchFolder folder_;
    std::string caPath_;
};

struct SeenRequest {
    std::multimap<std::string, std::string> headers;  // as httplib parsed them
    std::string body;

    // Empty when absent; lookup is case-sensitive on httplib's stored names.
    std::string header(const std::string& name) const;
    bool hasHeader(const std::string& name) const;
};

// A one-way latch: handlers wait on it (bounded by a deadline), tests open it.
class Gate {
public:
    void open();
    // True when opened before the deadline.
    bool waitFor(std::chrono::milliseconds limit);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

class LocalServer {
public:
    explicit LocalServer(const TestCertificates& certificates);
    ~LocalServer();

    httplib::SSLServer& routes() { return server_; }
    void start();
    std::string url(const std::string& path) const;
    std::vector<SeenRequest> requests() const;

private:
    httplib::SSLServer server_;
    int port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<SeenRequest> seen_;
};

// Base fixture: a trusted local server whose routes the subclass adds in its
// SetUp before calling start(), and the CA bundle variable pointing at its CA.
class LocalServerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::unique_ptr<TestCertificates> certificates;
    std::unique_ptr<LocalServer> server;
};

}  // namespace cloudtest
