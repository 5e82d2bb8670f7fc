#pragma once

#include "platform/objfactory/factory.h"
#include "server_process.h"

#include <functional>

namespace bench {

// One client's stock lookups, back to back, alone and then beside three clients that send large
// requests back to back: 879 KB with 60,000 fields, the largest the server's default limits let
// through to decoding, and the largest it decodes at once, not at a turn among the long lines.
// Prints the lookup's median, p99 and max, and lookups/s.
void reportRequestFlood(const testsupport::ServerProcess& server,
                        const std::function<void(objfactory::Factory&)>& lookup);

} // namespace bench
