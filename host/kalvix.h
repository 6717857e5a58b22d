// qrvn::kalvix: the design side of the host (documents and designs).
#pragma once

#include "host/core.h"
#include "host/kalvix/design.h"
#include "host/kalvix/document.h"
