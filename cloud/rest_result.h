#pragma once
// How the connector judges a dispatched result: only a REST response with
// status 200 or 201 counts as success. Used on the UI thread only.

#include <cstdint>

#include "net/async_response.h"

namespace EXMIImpl {

inline bool isSuccess(uint32_t code) { return code == 200 || code == 201; }

// The REST response behind a dispatched result, or null for any other kind.
inline const EXMI::IAsyncRESTResponse* asRest(EXMI::IAsyncResponse* response) {
    return dynamic_cast<const EXMI::IAsyncRESTResponse*>(response);
}

}  // namespace EXMIImpl
