#pragma once
// Process-wide libcurl initialisation. libcurl's global set-up is not
// thread-safe, so it must have run before the first worker thread starts a
// transfer: the request handler calls this on construction (on the UI thread),
// and every connection calls it again as a cheap, once-only safety net.

namespace EXMIImpl {

void ensureCurlGlobalInit();

}  // namespace EXMIImpl
