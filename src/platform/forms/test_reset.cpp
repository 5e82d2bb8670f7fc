#include "platform/forms/test_reset.h"

#include "platform/forms/beep.h"
#include "platform/forms/blocking_wait.h"
#include "platform/forms/end_program.h"
#include "platform/forms/loaded_windows.h"
#include "platform/forms/mouse_pointer.h"
#include "platform/forms/msgbox.h"

namespace forms {

void resetForTests()
{
    MessageBoxes::reset();
    resetBeepCount();
    setMousePointer(Pointer::Default);
    setEndProgramHandler({});
    forgetProgramEndRoutines();
    forgetLoadedWindows();
    resetAwaitTimings();
}

} // namespace forms
