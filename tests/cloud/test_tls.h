#pragma once
// Throwaway TLS material for tests that run their own HTTPS server: a CA, a
// server certificate for 127.0.0.1 signed by it, and an unrelated "rogue" CA
// with its own server certificate. The CA's PEM is written to a temporary
// folder so the client can trust it through STRATAVOX_CA_BUNDLE. Built once
// on the test thread, read-only afterwards.

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <string>

namespace cloudtest {

class TestCertificates {
public:
    TestCertificates();  // generates everything; throws on failure
    ~TestCertificates();
    TestCertificates(const TestCertificates&) = delete;
    TestCertificates& operator=(const TestCertificates&) = delete;

    const std::string& caBundlePath() const { return caPath_; }
    X509* serverCertificate() const { return serverCert_; }
    EVP_PKEY* serverKey() const { return serverKey_; }
    X509* rogueServerCertificate() const { return rogueCert_; }
    EVP_PKEY* rogueServerKey() const { return rogueKey_; }

private:
    std::string folder_;
    std::string caPath_;
    EVP_PKEY* caKey_ = nullptr;
    X509* caCert_ = nullptr;
    EVP_PKEY* serverKey_ = nullptr;
    X509* serverCert_ = nullptr;
    EVP_PKEY* rogueCaKey_ = nullptr;
    X509* rogueCaCert_ = nullptr;
    EVP_PKEY* rogueKey_ = nullptr;
    X509* rogueCert_ = nullptr;
};

// A fresh temporary folder under TMPDIR (or /tmp); removed by removeFolder.
std::string makeTempFolder(const std::string& prefix);
void removeFolder(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
std::string readText(const std::string& path);

}  // namespace cloudtest
