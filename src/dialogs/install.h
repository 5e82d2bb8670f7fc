#pragma once

namespace dialogs {

// Makes the login and server settings dialogs the ones the session's routines use.
void installSessionWindows();
// Destroys both dialogs, so the next touch creates them afresh (for tests).
void destroySessionWindowsForTests();

} // namespace dialogs
