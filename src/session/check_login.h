#pragma once

namespace session {

// One login attempt: credentials, connection, password and active check against the user
// record, the user's data, the server context. True when all of it succeeded.
bool CheckLogin();

} // namespace session
