#pragma once

#include <functional>

namespace forms {

// Thrown by test end handlers so endProgram does not return. Deliberately not a std::exception: no
// ordinary error handler may catch it. Never let it cross a running nested event loop (QEventLoop::exec,
// QDialog::exec, a message box): run such scenarios so the call happens outside the loop, or in a child
// process with the default handler.
class ProgramEnded final
{
public:
    explicit ProgramEnded(int code) noexcept : m_code(code) {}
    int code() const noexcept { return m_code; }

private:
    int m_code;
};

// Ends the process at once: runs the end routines, flushes the standard streams, then exits with code.
// Windows are not unloaded here; the caller does that first. With a handler installed, the handler runs
// instead and must throw (typically ProgramEnded); if it returns, the process aborts.
[[noreturn]] void endProgram(int code = 0);

// Runs routine when endProgram ends the process, newest first, while the application object still
// lives: the place to destroy windows, which must never be left to static destructors.
void atProgramEnd(std::function<void()> routine);
// What atProgramEnd collected, newest first, each once; the list is empty afterwards.
void runProgramEndRoutines();
// Empties the list without running anything, for tests.
void forgetProgramEndRoutines();

using EndProgramHandler = std::function<void(int code)>;
// An empty handler restores the default.
void setEndProgramHandler(EndProgramHandler handler);

} // namespace forms
