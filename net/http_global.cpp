#include "net/http_global.h"

#include <curl/curl.h>

#ifdef _WIN32
#include <openssl/crypto.h>
#endif

#include <mutex>
#include <stdexcept>

namespace EXMIImpl {

void ensureCurlGlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] {
#ifdef _WIN32
        // OpenSSL, linked into the add-in's DLL, would otherwise register its
        // clean-up with the C runtime's process-wide exit list (msvcrt's
        // _onexit), which runs when the host exits: long after the host has
        // unloaded the DLL, so the host would crash on its way out. The first
        // initialisation decides, and this one comes before any transfer or
        // digest. What it holds stays until the process ends, as libcurl's does.
        if (OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr) == 0)
            throw std::runtime_error("Couldn't initialize OpenSSL");
#endif
        // Never cleaned up: worker threads may outlive any owner we could tie
        // the clean-up to, and the process end releases it anyway.
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) throw std::runtime_error("Couldn't initialize curl");
    });
}

}  // namespace EXMIImpl
