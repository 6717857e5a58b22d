#pragma once
// Route installers: each adds one group of endpoints to the HTTPS server.
// Called once on the thread that starts the emulator, before the server
// runs; the handlers then run on the server's worker threads.

#include "emulator/service_state.h"

#include <httplib.h>

namespace emulator {

void installAccountRoutes(httplib::Server& server, ServiceState& state);  // /authorize, /logoff, /token
void installApiRoutes(httplib::Server& server, ServiceState& state);      // /plyx/v1/...
void installStorageRoutes(httplib::Server& server, ServiceState& state);  // /storage/{token}
// Landing pages (/stratavox/, /app/library/...) and the admin endpoints
// under /_emulator/.
void installPageRoutes(httplib::Server& server, ServiceState& state);

}  // namespace emulator
