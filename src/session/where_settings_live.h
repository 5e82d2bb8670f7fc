#pragma once

namespace session {

// For --help: where this platform keeps the per-user settings and where the data source is set up,
// as lines of German text ending in a line break.
const char* whereSettingsLive() noexcept;

} // namespace session
