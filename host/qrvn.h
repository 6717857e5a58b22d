// The whole host application interface.
#pragma once

#include "host/core.h"
#include "host/kalvix.h"
#include "host/cam.h"
