#pragma once
// Throwaway TLS material for tests that run their own HTTPS server: the
// emulator's certificate set (a CA, a server certificate for 127.0.0.1 and an
// unrelated "rogue" CA with its own server certificate), with the CA written
// to a temporary PEM file the client can trust through STRATAVOX_CA_BUNDLE.
// Built once on the test thread, read-only afterwards.

#include <string>

#include "emulator/certificates.h"
#include "tests/support/scratch.h"

namespace cloudtest {

class TestCertificates {
public:
    TestCertificates();  // generates everything; throws on failure

    const std::string& caBundlePath() const { return caPath_; }
    X509* serverCertificate() const { return set_.serverCertificate(); }
    EVP_PKEY* serverKey() const { return set_.serverKey(); }
    X509* rogueServerCertificate() const { return set_.rogueServerCertificate(); }
    EVP_PKEY* rogueServerKey() const { return set_.rogueServerKey(); }

private:
    emulator::CertificateSet set_;
    testing_support::ScratchFolder folder_;
    std::string caPath_;
};

}  // namespace cloudtest
