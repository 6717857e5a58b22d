#include "net/http_global.h"

#include <curl/curl.h>

#include <mutex>
#include <stdexcept>

namespace EXMIImpl {

void ensureCurlGlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Never cleaned up: worker threads may outlive any owner we could tie
        // the clean-up to, and the process end releases it anyway.
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) throw std::runtime_error("Couldn't initialize curl");
    });
}

}  // namespace EXMIImpl
