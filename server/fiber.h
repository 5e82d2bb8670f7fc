#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <ucontext.h>

namespace veldor {

// A job that runs on a stack of its own, so that it can stop part way (suspend) and be continued
// later from the event loop. Everything stays on one thread: a fiber never runs beside other
// code, it only takes turns with it, so what it shares with the rest of the server needs no lock.
//
// A job must not suspend while it handles an exception (inside a catch block) or while one is
// unwinding its stack: the C++ runtime keeps that state per thread, not per stack.
class Fiber final
{
public:
    explicit Fiber(std::size_t stackBytes = DefaultStackBytes);
    // A suspended job is never unwound: its stack stays allocated. Finish jobs first.
    ~Fiber();
    Fiber(const Fiber&) = delete;
    Fiber& operator=(const Fiber&) = delete;

    // Runs job until it returns or suspends. An exception the job lets out is rethrown here, or
    // from the resume() at which it escapes.
    void start(std::function<void()> job);
    void resume();
    // Started, and not yet returned.
    bool suspended() const { return m_active; }

    // From inside a job: back to whoever started or resumed it.
    static void suspend();
    static bool inside();

    // Interpreter recursion is bounded by its nesting limits to well below this.
    static constexpr std::size_t DefaultStackBytes = 512 * 1024;

private:
    static void entry(int high, int low);
    void loop();
    void switchIn();
    void switchOut();

    void* m_memory = nullptr;
    std::size_t m_memoryBytes = 0;
    ucontext_t m_context = {};
    ucontext_t m_caller = {};
    // The stack the fiber was last entered from, and the fiber's own fake frames (address sanitizer only).
    const void* m_callerBottom = nullptr;
    std::size_t m_callerSize = 0;
    void* m_fakeStack = nullptr;
    std::function<void()> m_job;
    std::exception_ptr m_exception;
    bool m_prepared = false;
    bool m_active = false;
};

} // namespace veldor
