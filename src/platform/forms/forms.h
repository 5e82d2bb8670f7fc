#pragma once

// Everything the program took from the old window system.
#include "app_title.h"
#include "beep.h"
#include "do_events.h"
#include "end_program.h"
#include "error.h"
#include "error_handling.h"
#include "loaded_windows.h"
#include "mouse_pointer.h"
#include "msgbox.h"
#include "msgbox_types.h"
#include "test_reset.h"
#include "twips.h"
