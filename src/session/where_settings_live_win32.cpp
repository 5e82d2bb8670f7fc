#include "session/where_settings_live.h"

namespace session {

const char* whereSettingsLive() noexcept
{
    return "Einstellungen: Registrierung, HKEY_CURRENT_USER\\Software\\Cache Login\\Login.\n"
           "Artikeldaten: ODBC-Datenquelle tovi_net (einzurichten mit dem ODBC-Datenquellen-Administrator,\n"
           "odbcad32.exe, 64-Bit).\n";
}

} // namespace session
