#include "fiber.h"

#include <cstdint>
#include <new>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#define VELDOR_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELDOR_ADDRESS_SANITIZER 1
#endif
#endif
#ifdef VELDOR_ADDRESS_SANITIZER
#include <sanitizer/common_interface_defs.h>
#endif

namespace veldor {
namespace {

thread_local Fiber* t_current = nullptr;

// AddressSanitizer keeps one stack per thread; told of every move to another stack, it checks the right one
// and keeps each stack's fake frames apart. Nothing without it.
void startSwitch([[maybe_unused]] void** fakeStack, [[maybe_unused]] const void* bottom,
                 [[maybe_unused]] std::size_t size)
{
#ifdef VELDOR_ADDRESS_SANITIZER
    __sanitizer_start_switch_fiber(fakeStack, bottom, size);
#endif
}

void finishSwitch([[maybe_unused]] void* fakeStack, [[maybe_unused]] const void** previousBottom,
                  [[maybe_unused]] std::size_t* previousSize)
{
#ifdef VELDOR_ADDRESS_SANITIZER
    __sanitizer_finish_switch_fiber(fakeStack, previousBottom, previousSize);
#endif
}

} // namespace

Fiber::Fiber(std::size_t stackBytes)
{
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    m_memoryBytes = (stackBytes + page - 1) / page * page + page;
    // Reserved, not committed: only the pages a job touches cost memory.
    m_memory = ::mmap(nullptr, m_memoryBytes, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
    if (m_memory == MAP_FAILED) {
        m_memory = nullptr;
        throw std::bad_alloc();
    }
    // The stack grows down: an overflow faults on the guard page instead of overwriting the heap.
    ::mprotect(m_memory, page, PROT_NONE);
}

Fiber::~Fiber()
{
    if (m_memory && !m_active)
        ::munmap(m_memory, m_memoryBytes);
}

void Fiber::entry(int high, int low)
{
    const auto address = (static_cast<std::uintptr_t>(static_cast<std::uint32_t>(high)) << 32) |
                         static_cast<std::uint32_t>(low);
    reinterpret_cast<Fiber*>(address)->loop();
}

void Fiber::loop()
{
    finishSwitch(nullptr, &m_callerBottom, &m_callerSize);
    // Never returns: an idle fiber waits here for its next job.
    for (;;) {
        try {
            m_job();
        } catch (...) {
            m_exception = std::current_exception();
        }
        m_job = nullptr;
        m_active = false;
        switchOut();
    }
}

void Fiber::switchOut()
{
    startSwitch(&m_fakeStack, m_callerBottom, m_callerSize);
    ::swapcontext(&m_context, &m_caller);
    finishSwitch(m_fakeStack, &m_callerBottom, &m_callerSize);
}

void Fiber::start(std::function<void()> job)
{
    m_job = std::move(job);
    m_active = true;
    if (!m_prepared) {
        ::getcontext(&m_context);
        m_context.uc_stack.ss_sp = m_memory;
        m_context.uc_stack.ss_size = m_memoryBytes;
        m_context.uc_link = nullptr;
        const auto address = reinterpret_cast<std::uintptr_t>(this);
        makecontext(&m_context, reinterpret_cast<void (*)()>(&Fiber::entry), 2,
                    static_cast<int>(static_cast<std::uint32_t>(address >> 32)),
                    static_cast<int>(static_cast<std::uint32_t>(address)));
        m_prepared = true;
    }
    switchIn();
}

void Fiber::resume()
{
    if (m_active)
        switchIn();
}

void Fiber::switchIn()
{
    Fiber* const outer = t_current;
    t_current = this;
    void* callerFakeStack = nullptr;
    startSwitch(&callerFakeStack, m_memory, m_memoryBytes);
    ::swapcontext(&m_caller, &m_context);
    finishSwitch(callerFakeStack, nullptr, nullptr);
    t_current = outer;
    if (m_exception)
        std::rethrow_exception(std::exchange(m_exception, nullptr));
}

void Fiber::suspend()
{
    if (Fiber* const self = t_current)
        self->switchOut();
}

bool Fiber::inside()
{
    return t_current != nullptr;
}

} // namespace veldor
