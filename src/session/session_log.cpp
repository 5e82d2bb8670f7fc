#include "session/session_log.h"

namespace session {

Q_LOGGING_CATEGORY(lcSession, "plenvaro.session", QtInfoMsg)

} // namespace session
