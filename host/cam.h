// qrvn::cam: the manufacturing side of the host (CAM product, setups,
// manufacturing models, libraries, post-processing).
#pragma once

#include "host/cam/cam_product.h"
#include "host/cam/libraries.h"
#include "host/cam/machine.h"
#include "host/cam/manufacturing_models.h"
#include "host/cam/post_process.h"
#include "host/cam/setup_events.h"
#include "host/cam/setups.h"
#include "host/core.h"
