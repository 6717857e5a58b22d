#pragma once
// The emulator's holdings as one JSON document: addresses, projects (with
// thumbnails) and stored files. Read-only over ServiceState; any thread.

#include "emulator/service_state.h"

#include <string>

namespace emulator {

std::string stateJson(const ServiceState& state);

}  // namespace emulator
