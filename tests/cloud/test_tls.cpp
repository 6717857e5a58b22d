#include "tests/cloud/test_tls.h"

#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace cloudtest {
namespace {

void check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string("test certificates: ") + what);
}

EVP_PKEY* makeKey() {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    check(key != nullptr, "key generation");
    return key;
}

void addExtension(X509* cert, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    check(extension != nullptr, "extension");
    X509_add_ext(cert, extension, -1);
    X509_EXTENSION_free(extension);
}

// Issues a certificate for `key`, signed by issuerKey (self-signed when
// issuer is null).
X509* makeCertificate(EVP_PKEY* key, const char* commonName, X509* issuer, EVP_PKEY* issuerKey,
                      bool isCa, long serial) {
    X509* cert = X509_new();
    check(cert != nullptr, "X509_new");
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), serial);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 24L * 3600L);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    X509* signer = issuer != nullptr ? issuer : cert;
    X509_set_issuer_name(cert, X509_get_subject_name(signer));
    if (isCa) {
        addExtension(cert, signer, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(cert, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
        addExtension(cert, signer, NID_subject_key_identifier, "hash");
    } else {
        addExtension(cert, signer, NID_basic_constraints, "critical,CA:FALSE");
        addExtension(cert, signer, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost");
        addExtension(cert, signer, NID_ext_key_usage, "serverAuth");
        addExtension(cert, signer, NID_authority_key_identifier, "keyid:always");
    }
    check(X509_sign(cert, issuerKey != nullptr ? issuerKey : key, EVP_sha256()) > 0, "sign");
    return cert;
}

}  // namespace

TestCertificates::TestCertificates() {
    folder_ = makeTempFolder("cloudtest_tls_");
    caKey_ = makeKey();
    caCert_ = makeCertificate(caKey_, "cloud test CA", nullptr, nullptr, true, 1);
    serverKey_ = makeKey();
    serverCert_ = makeCertificate(serverKey_, "127.0.0.1", caCert_, caKey_, false, 2);
    rogueCaKey_ = makeKey();
    rogueCaCert_ = makeCertificate(rogueCaKey_, "rogue CA", nullptr, nullptr, true, 3);
    rogueKey_ = makeKey();
    rogueCert_ = makeCertificate(rogueKey_, "127.0.0.1", rogueCaCert_, rogueCaKey_, false, 4);

    caPath_ = folder_ + "/ca.pem";
    FILE* file = std::fopen(caPath_.c_str(), "wb");
    check(file != nullptr, "open CA file");
    const int written = PEM_write_X509(file, caCert_);
    std::fclose(file);
    check(written == 1, "write CA file");
}

TestCertificates::~TestCertificates() {
    X509_free(rogueCert_);
    EVP_PKEY_free(rogueKey_);
    X509_free(rogueCaCert_);
    EVP_PKEY_free(rogueCaKey_);
    X509_free(serverCert_);
    EVP_PKEY_free(serverKey_);
    X509_free(caCert_);
    EVP_PKEY_free(caKey_);
    removeFolder(folder_);
}

std::string makeTempFolder(const std::string& prefix) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/" +
                          prefix + "XXXXXX";
    check(mkdtemp(pattern.data()) != nullptr, "temporary folder");
    return pattern;
}

void removeFolder(const std::string& path) {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    check(static_cast<bool>(out), "write file");
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace cloudtest
