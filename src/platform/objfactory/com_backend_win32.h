#pragma once

#include "platform/objfactory/backend.h"
#include "platform/objfactory/channel.h"

#include <memory>

namespace objfactory::com {

// The connection through the component registered under the ProgID "CacheObject.Factory". Every
// call to the component, and every release, is made inside a step of the runner, on the thread the
// runner runs steps on (the one worker thread of the program, or in place).
std::unique_ptr<detail::FactoryBackend> makeFactory(Timeouts timeouts, StepRunner runner);

// Server objects of the component the client holds now, for a leak check.
int liveObjects();

// The text for a ProgID nobody registered: the vendor's client component is missing.
QString notInstalled();

} // namespace objfactory::com
