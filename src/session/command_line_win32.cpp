#include "session/command_line.h"

#include "session/text_routines.h"

#include <windows.h>

namespace session {

// argv has lost the blanks between the arguments; the raw line still has them.
QString ProgramCommandLine(int, char**)
{
    return textAfterProgramName(QString::fromWCharArray(GetCommandLineW()));
}

} // namespace session
