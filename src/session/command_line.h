#pragma once

#include <QString>

namespace session {

// The program's command line after the program name, as the process received it. Needs no
// application object, so it can run before one exists. On Windows the text is the raw command
// line with the program name and the blanks after it skipped (two blanks in a row stay two); elsewhere
// the arguments joined with single blanks.
QString ProgramCommandLine(int argc, char** argv);

} // namespace session
