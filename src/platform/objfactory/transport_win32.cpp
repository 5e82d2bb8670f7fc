#include "platform/objfactory/com_backend_win32.h"
#include "platform/objfactory/factory.h"
#include "platform/objfactory/transport.h"

namespace objfactory {

// At a site the server is reached only through the vendor's component (PLENVARO_WINDOWS_COM, on by
// default); the wire client stays available for a build that has to do without it.
Transport programTransport()
{
#ifdef PLENVARO_WINDOWS_COM
    return Transport::Com;
#else
    return Transport::Wire;
#endif
}

namespace detail {

std::unique_ptr<FactoryBackend> makeComBackend(Timeouts timeouts, StepRunner runner)
{
    return com::makeFactory(timeouts, std::move(runner));
}

} // namespace detail
} // namespace objfactory
