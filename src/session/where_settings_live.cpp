#include "session/where_settings_live.h"

namespace session {

const char* whereSettingsLive() noexcept
{
    return "Einstellungen: $PLENVARO_REGISTRY, sonst $XDG_CONFIG_HOME/plenvaro/registry.sqlite3\n"
           "(ohne XDG_CONFIG_HOME: ~/.config/plenvaro/registry.sqlite3).\n"
           "Artikeldaten: ODBC-Datenquelle tovi_net (siehe odbcinst -j).\n";
}

} // namespace session
