#pragma once
// Throwaway TLS material for the emulator: a CA, a server certificate for
// 127.0.0.1 / ::1 / localhost signed by it, and a second, unrelated CA with
// its own server certificate for the "untrusted certificate" fault.
//
// Owns the OpenSSL keys and certificates it generates (released in the
// destructor). Built once on the thread that starts the emulator and only
// read afterwards, so handshakes on the server's threads may share it.

#include <memory>
#include <string>

typedef struct evp_pkey_st EVP_PKEY;
typedef struct x509_st X509;

namespace emulator {

class CertificateSet {
public:
    struct KeyPair;  // a key and the certificate issued for it

    CertificateSet();
    ~CertificateSet();
    CertificateSet(const CertificateSet&) = delete;
    CertificateSet& operator=(const CertificateSet&) = delete;

    // Generates everything; false with *error on any OpenSSL failure.
    bool generate(std::string* error);

    // PEM text of the trusted CA certificate (what clients put in their bundle).
    std::string caPem() const;
    std::string roguePem() const;  // the unrelated CA, for tests

    X509* serverCertificate() const;
    EVP_PKEY* serverKey() const;
    X509* rogueServerCertificate() const;
    EVP_PKEY* rogueServerKey() const;

private:
    std::unique_ptr<KeyPair> ca_, server_, rogueCa_, rogueServer_;
};

// PEM text of one certificate.
std::string certificatePem(X509* certificate);

}  // namespace emulator
