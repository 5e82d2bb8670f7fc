// Writes and shows the login settings in a settings store (PLENVARO_REGISTRY), the way the program
// keeps them, so a system test can give the program a site's server address without its dialogs.
//
//   plenvaro_system_store set KEY=VALUE...   (ASCII values; an empty VALUE is stored empty)
//   plenvaro_system_store show               (every login setting there is, KEY=VALUE a line)
#include "platform/winreg/registry_api.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* LoginKey = "Software\\Cache Login\\Login";
constexpr std::array<const char*, 7> Names{"Server", "Port", "Firma", "Filiale", "Namespace", "Name", "Passwort"};

int usage()
{
    std::fputs("usage: plenvaro_system_store set KEY=VALUE... | show\n", stderr);
    return 2;
}

int failed(const char* what, LSTATUS rc)
{
    std::fprintf(stderr, "plenvaro_system_store: %s (error %d): %s\n", what, static_cast<int>(rc),
                 plenvaroRegistryLastError());
    return 1;
}

bool ascii(const std::string& text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
            return false;
    }
    return true;
}

int set(int count, char** pairs)
{
    if (count == 0)
        return usage();
    HKEY key = nullptr;
    SECURITY_ATTRIBUTES security{};
    DWORD disposition = 0;
    LSTATUS rc = RegCreateKeyExA(HKEY_CURRENT_USER, LoginKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                 &security, &key, &disposition);
    if (rc != ERROR_SUCCESS)
        return failed("cannot create the login key", rc);
    int result = 0;
    for (int i = 0; i < count && result == 0; ++i) {
        const std::string pair = pairs[i];
        const auto equals = pair.find('=');
        if (equals == std::string::npos || equals == 0 || !ascii(pair)) {
            std::fprintf(stderr, "plenvaro_system_store: not KEY=VALUE in ASCII: %s\n", pairs[i]);
            result = 2;
            break;
        }
        const std::string name = pair.substr(0, equals);
        const std::string value = pair.substr(equals + 1);
        // With its terminator, as the program stores a text value.
        rc = RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1));
        if (rc != ERROR_SUCCESS)
            result = failed("cannot store a value", rc);
    }
    RegCloseKey(key);
    return result;
}

int show()
{
    HKEY key = nullptr;
    LSTATUS rc = RegOpenKeyExA(HKEY_CURRENT_USER, LoginKey, 0, KEY_QUERY_VALUE, &key);
    if (rc == ERROR_FILE_NOT_FOUND)
        return 0;
    if (rc != ERROR_SUCCESS)
        return failed("cannot open the login key", rc);
    for (const char* name : Names) {
        DWORD type = 0;
        DWORD size = 0;
        rc = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
        if (rc == ERROR_FILE_NOT_FOUND)
            continue;
        std::vector<char> data(size + 1, '\0');
        rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(data.data()), &size);
        if (rc != ERROR_SUCCESS) {
            RegCloseKey(key);
            return failed("cannot read a value", rc);
        }
        std::printf("%s=%s\n", name, type == REG_SZ ? data.data() : "(not text)");
    }
    RegCloseKey(key);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "set") == 0)
        return set(argc - 2, argv + 2);
    if (argc == 2 && std::strcmp(argv[1], "show") == 0)
        return show();
    return usage();
}
