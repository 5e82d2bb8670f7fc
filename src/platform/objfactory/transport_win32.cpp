#include "platform/objfactory/com_backend_win32.h"
#include "platform/objfactory/factory.h"
#include "platform/objfactory/transport.h"

namespace objfactory {

// At a site the server is reached only through the vendor's component; until the Windows system tests
// register the stand-in in their prefixes the build chooses (PLENVARO_WINDOWS_COM).
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
