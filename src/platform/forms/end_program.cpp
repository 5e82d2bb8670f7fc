#include "end_program.h"

#include <QtGlobal>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace forms {
namespace {

EndProgramHandler& handler()
{
    static EndProgramHandler instance;
    return instance;
}

[[noreturn]] void endProcess(int code)
{
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    // The QApplication lives on main's stack and is never destroyed; that is fine for a process that
    // ends here, and waiting for the event loops to unwind is what this call must not do.
    std::exit(code);
}

} // namespace

void endProgram(int code)
{
    // Copy: the handler may reset itself.
    const EndProgramHandler current = handler();
    if (!current)
        endProcess(code);
    if (QThread::currentThread()->loopLevel() > 0)
        qWarning("forms::endProgram: called inside a running event loop; a throwing handler crosses it");
    current(code);
    qFatal("forms::endProgram: the end handler returned");
}

void setEndProgramHandler(EndProgramHandler newHandler)
{
    handler() = std::move(newHandler);
}

} // namespace forms
