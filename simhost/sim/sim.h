// The whole scripting API of the simulated host (tests, demo, benchmarks).
#pragma once

#include "simhost/sim/addin.h"
#include "simhost/sim/cam.h"
#include "simhost/sim/documents.h"
#include "simhost/sim/event_loop.h"
#include "simhost/sim/host.h"
#include "simhost/sim/palettes.h"
#include "simhost/sim/ui.h"
