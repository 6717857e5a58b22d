// The whole scripting API of the simulated host (tests, demo, benchmarks).
#pragma once

#include "host/sim/host.h"
#include "host/sim/event_loop.h"
#include "host/sim/documents.h"
#include "host/sim/cam.h"
#include "host/sim/ui.h"
#include "host/sim/palettes.h"
#include "host/sim/addin.h"
