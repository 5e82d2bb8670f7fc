#pragma once

#include "platform/objfactory/backend.h"
#include "platform/objfactory/channel.h"

#include <memory>

namespace objfactory::detail {

// The connection through the component registered under the ProgID; one implementation per platform.
std::unique_ptr<FactoryBackend> makeComBackend(Timeouts timeouts, StepRunner runner);

} // namespace objfactory::detail
