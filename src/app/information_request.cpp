#include "app/information_request.h"

#include "session/where_settings_live.h"

#include <cstring>

namespace app {
namespace {

constexpr const char* Usage =
    "Aufruf: plenvaro [FIRMA FILIALE PERSONALCODE PASSWORT [ADRESSE [PORT [NAMESPACE]]]]\n"
    "       plenvaro --help | --version\n"
    "\n"
    "Lagerstandsabfrage aktuelle Bonusartikel: meldet den Benutzer am Warenwirtschaftsserver an, zeigt die\n"
    "heute gültigen Bonusartikel und zu einem angeklickten Artikel den Lagerstand der Filiale.\n"
    "\n"
    "Anmeldedaten auf der Kommandozeile (durch je ein Leerzeichen getrennt) gelten nur, wenn das erste Feld\n"
    "eine Zahl ist; sonst gelten die gespeicherten Einstellungen, und fehlende erfragt der Anmeldedialog.\n"
    "\n";

} // namespace

bool isInformationRequest(int argc, char** argv)
{
    return argc >= 2 && argv[1] != nullptr &&
           (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "--version") == 0);
}

std::optional<int> answerInformationRequest(int argc, char** argv, std::FILE* out)
{
    if (argc < 2 || argv[1] == nullptr)
        return std::nullopt;
    if (std::strcmp(argv[1], "--help") == 0) {
        std::fputs(Usage, out);
        std::fputs(session::whereSettingsLive(), out);
        return 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::fputs("plenvaro " PLENVARO_VERSION "\n", out);
        return 0;
    }
    return std::nullopt;
}

} // namespace app
