#include "net/async_response.h"

#include <stdexcept>

#include "net/async_request.h"

namespace EXMI {

std::string IAsyncResponse::getRequestProperty(const std::string& key) const {
    if (!request) return std::string();
    return request->getProperty(key);
}

void IAsyncRESTResponse::dispatch() {
    if (!request) return;
    // Copied so that the callback may replace the request's callbacks safely.
    const ResponseCallback callback = request->onResponse;
    if (callback) callback(this);
}

void IAsyncExceptionResponse::dispatch() { throw std::runtime_error(message); }

}  // namespace EXMI
