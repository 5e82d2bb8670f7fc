#pragma once

// Everything the program took from the old window system.
#include "platform/forms/app_title.h"
#include "platform/forms/beep.h"
#include "platform/forms/do_events.h"
#include "platform/forms/end_program.h"
#include "platform/forms/error.h"
#include "platform/forms/error_handling.h"
#include "platform/forms/loaded_windows.h"
#include "platform/forms/mouse_pointer.h"
#include "platform/forms/msgbox.h"
#include "platform/forms/msgbox_types.h"
#include "platform/forms/test_reset.h"
#include "platform/forms/twips.h"
