#include "session/command_line.h"

#include <QStringList>

namespace session {

QString ProgramCommandLine(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc && argv[i] != nullptr; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments.join(u' ');
}

} // namespace session
