// qrvn::core: the host application's core interface (application, documents,
// user interface, commands, toolbars, palettes, dialogs, events).
#pragma once

#include "host/core/application.h"
#include "host/core/attributes.h"
#include "host/core/base.h"
#include "host/core/command_inputs.h"
#include "host/core/commands.h"
#include "host/core/documents.h"
#include "host/core/event_types.h"
#include "host/core/events.h"
#include "host/core/file_dialog.h"
#include "host/core/palettes.h"
#include "host/core/ptr.h"
#include "host/core/toolbars.h"
#include "host/core/user_interface.h"
#include "host/core/values.h"
#include "host/core/viewport.h"
#include "host/core/workspaces.h"
