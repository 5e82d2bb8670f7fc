#include "test_reset.h"

#include "beep.h"
#include "end_program.h"
#include "loaded_windows.h"
#include "mouse_pointer.h"
#include "msgbox.h"

namespace forms {

void resetForTests()
{
    MessageBoxes::reset();
    resetBeepCount();
    setMousePointer(Pointer::Default);
    setEndProgramHandler({});
    forgetProgramEndRoutines();
    forgetLoadedWindows();
}

} // namespace forms
