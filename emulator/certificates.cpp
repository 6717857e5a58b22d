#include "emulator/certificates.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <stdexcept>

namespace emulator {

struct CertificateSet::KeyPair {
    EVP_PKEY* key = nullptr;
    X509* cert = nullptr;
    ~KeyPair() {
        X509_free(cert);
        EVP_PKEY_free(key);
    }
};

namespace {

std::string openSslError(const std::string& what) {
    unsigned long code = ERR_get_error();
    char text[256] = "no detail";
    if (code != 0) ERR_error_string_n(code, text, sizeof text);
    ERR_clear_error();
    return what + ": " + text;
}

void check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(openSslError(what));
}

EVP_PKEY* makeKey() {
    // P-256 keys are made in microseconds; RSA would slow every test start.
    EVP_PKEY* key = EVP_EC_gen("P-256");
    check(key != nullptr, "EC key generation");
    return key;
}

void addExtension(X509* cert, X509* issuer, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    check(ext != nullptr, "certificate extension");
    int added = X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
    check(added == 1, "adding certificate extension");
}

void setName(X509_NAME* name, const char* commonName) {
    check(X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                                     reinterpret_cast<const unsigned char*>("Stratavox Emulator"), -1, -1, 0) == 1,
          "certificate name");
    check(X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1,
                                     -1, 0) == 1,
          "certificate name");
}

void setSerialAndValidity(X509* cert) {
    check(X509_set_version(cert, 2) == 1, "certificate version");
    // A random serial: clients may cache issuer+serial across runs.
    BIGNUM* serial = BN_new();
    check(serial != nullptr && BN_rand(serial, 120, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) == 1, "certificate serial");
    ASN1_INTEGER* asn1 = BN_to_ASN1_INTEGER(serial, X509_get_serialNumber(cert));
    BN_free(serial);
    check(asn1 != nullptr, "certificate serial");
    // Back-dated an hour so small clock differences do not matter.
    check(X509_gmtime_adj(X509_getm_notBefore(cert), -3600) != nullptr, "certificate validity");
    check(X509_gmtime_adj(X509_getm_notAfter(cert), 7L * 24 * 3600) != nullptr, "certificate validity");
}

std::unique_ptr<CertificateSet::KeyPair> makeCa(const char* commonName) {
    auto ca = std::make_unique<CertificateSet::KeyPair>();
    ca->key = makeKey();
    ca->cert = X509_new();
    check(ca->cert != nullptr, "X509_new");
    setSerialAndValidity(ca->cert);
    setName(X509_get_subject_name(ca->cert), commonName);
    check(X509_set_issuer_name(ca->cert, X509_get_subject_name(ca->cert)) == 1, "issuer");
    check(X509_set_pubkey(ca->cert, ca->key) == 1, "public key");
    addExtension(ca->cert, ca->cert, NID_basic_constraints, "critical,CA:TRUE,pathlen:0");
    addExtension(ca->cert, ca->cert, NID_key_usage, "critical,keyCertSign,cRLSign");
    addExtension(ca->cert, ca->cert, NID_subject_key_identifier, "hash");
    addExtension(ca->cert, ca->cert, NID_authority_key_identifier, "keyid:always");
    check(X509_sign(ca->cert, ca->key, EVP_sha256()) > 0, "signing CA certificate");
    return ca;
}

std::unique_ptr<CertificateSet::KeyPair> makeServer(const CertificateSet::KeyPair& ca) {
    auto server = std::make_unique<CertificateSet::KeyPair>();
    server->key = makeKey();
    server->cert = X509_new();
    check(server->cert != nullptr, "X509_new");
    setSerialAndValidity(server->cert);
    setName(X509_get_subject_name(server->cert), "127.0.0.1");
    check(X509_set_issuer_name(server->cert, X509_get_subject_name(ca.cert)) == 1, "issuer");
    check(X509_set_pubkey(server->cert, server->key) == 1, "public key");
    addExtension(server->cert, ca.cert, NID_basic_constraints, "critical,CA:FALSE");
    addExtension(server->cert, ca.cert, NID_key_usage, "critical,digitalSignature");
    addExtension(server->cert, ca.cert, NID_ext_key_usage, "serverAuth");
    addExtension(server->cert, ca.cert, NID_subject_alt_name, "IP:127.0.0.1,IP:::1,DNS:localhost");
    addExtension(server->cert, ca.cert, NID_subject_key_identifier, "hash");
    addExtension(server->cert, ca.cert, NID_authority_key_identifier, "keyid:always");
    check(X509_sign(server->cert, ca.key, EVP_sha256()) > 0, "signing server certificate");
    return server;
}

}  // namespace

std::string certificatePem(X509* certificate) {
    BIO* bio = BIO_new(BIO_s_mem());
    if (bio == nullptr) return std::string();
    std::string text;
    if (PEM_write_bio_X509(bio, certificate) == 1) {
        char* data = nullptr;
        long size = BIO_get_mem_data(bio, &data);
        if (size > 0) text.assign(data, static_cast<std::size_t>(size));
    }
    BIO_free(bio);
    return text;
}

CertificateSet::CertificateSet() = default;
CertificateSet::~CertificateSet() = default;

bool CertificateSet::generate(std::string* error) {
    try {
        ca_ = makeCa("Stratavox Emulator Throwaway CA");
        server_ = makeServer(*ca_);
        // Same subject name as the real CA: a client must check the signature,
        // not only match names, to refuse it.
        rogueCa_ = makeCa("Stratavox Emulator Throwaway CA");
        rogueServer_ = makeServer(*rogueCa_);
        return true;
    } catch (const std::exception& e) {
        if (error != nullptr) *error = e.what();
        ca_.reset();
        server_.reset();
        rogueCa_.reset();
        rogueServer_.reset();
        return false;
    }
}

std::string CertificateSet::caPem() const { return ca_ ? certificatePem(ca_->cert) : std::string(); }
std::string CertificateSet::roguePem() const { return rogueCa_ ? certificatePem(rogueCa_->cert) : std::string(); }
X509* CertificateSet::serverCertificate() const { return server_ ? server_->cert : nullptr; }
EVP_PKEY* CertificateSet::serverKey() const { return server_ ? server_->key : nullptr; }
X509* CertificateSet::rogueServerCertificate() const { return rogueServer_ ? rogueServer_->cert : nullptr; }
EVP_PKEY* CertificateSet::rogueServerKey() const { return rogueServer_ ? rogueServer_->key : nullptr; }

}  // namespace emulator
