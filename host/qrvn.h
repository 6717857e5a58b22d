// The whole host application interface.
#pragma once

#include "host/cam.h"
#include "host/core.h"
#include "host/kalvix.h"
