#include "demo/digest.h"

#include <openssl/evp.h>

#include <fstream>
#include <memory>

namespace demo {
namespace {

std::string hexOf(const unsigned char* digest, unsigned int length) {
    static const char* const kHex = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 15];
    }
    return text;
}

}  // namespace

std::string sha256OfFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::string();
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return std::string();
    char buffer[64 * 1024];
    while (in) {
        in.read(buffer, sizeof buffer);
        if (in.gcount() > 0 && EVP_DigestUpdate(context.get(), buffer, static_cast<size_t>(in.gcount())) != 1) {
            return std::string();
        }
    }
    if (in.bad()) return std::string();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1) return std::string();
    return hexOf(digest, length);
}

std::string sha256OfBytes(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1) return std::string();
    return hexOf(digest, length);
}

}  // namespace demo
