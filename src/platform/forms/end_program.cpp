#include "platform/forms/end_program.h"

#include <QtGlobal>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <utility>
#include <vector>

namespace forms {
namespace {

EndProgramHandler& handler()
{
    static EndProgramHandler instance;
    return instance;
}

std::vector<std::function<void()>>& endRoutines()
{
    static std::vector<std::function<void()>> routines;
    return routines;
}

[[noreturn]] void endProcess(int code)
{
    runProgramEndRoutines();
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    // The QApplication lives on main's stack and is never destroyed; that is fine for a process that
    // ends here once its windows are gone, and waiting for the event loops to unwind is what this call
    // must not do.
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

void atProgramEnd(std::function<void()> routine)
{
    endRoutines().push_back(std::move(routine));
}

void runProgramEndRoutines()
{
    // Taken first: a routine may end up here again.
    auto routines = std::exchange(endRoutines(), {});
    for (auto it = routines.rbegin(); it != routines.rend(); ++it)
        (*it)();
}

void forgetProgramEndRoutines()
{
    endRoutines().clear();
}

void setEndProgramHandler(EndProgramHandler newHandler)
{
    handler() = std::move(newHandler);
}

} // namespace forms
