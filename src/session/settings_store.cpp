#include "session/settings_store.h"

#include "platform/forms/error.h"
#include "platform/winreg/registry_api.h"
#include "registry/cp1252.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace session {
namespace {

// Registry error numbers are reported in the component model's range, as the runtime did.
constexpr std::int32_t StoreErrorBase = static_cast<std::int32_t>(0x80070000U);

struct KeyCloser
{
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using KeyHandle = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

// The causes a user can do something about come first, in words.
QString causeOf(LONG code)
{
    switch (code) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return u"Der Datenträger ist voll: "_s;
    case ERROR_WRITE_PROTECT:
        return u"Der Datenträger ist schreibgeschützt: "_s;
    default:
        return {};
    }
}

[[noreturn]] void fail(LONG code, const QString& what)
{
    QString description = causeOf(code) + u"Einstellungsspeicher: %1 (Fehler %2)"_s.arg(what).arg(code);
    const QString detail = QString::fromUtf8(plenvaroRegistryLastError());
    if (!detail.isEmpty())
        description += u": "_s + detail;
    throw forms::Error(StoreErrorBase + code, description, u"Einstellungen"_s);
}

std::string bytesOf(const QString& text, const QString& what)
{
    std::optional<std::string> bytes = cp1252::fromUtf8(text.toStdString());
    if (!bytes)
        throw forms::Error(5,
                           u"Einstellungsspeicher: %1 enthält Zeichen außerhalb von Windows-1252"_s.arg(what),
                           u"Einstellungen"_s);
    return *bytes;
}

std::string keyPath(const QString& application, const QString& section)
{
    return bytesOf(u"Software\\"_s + application + u'\\' + section, u"der Schlüssel"_s);
}

} // namespace

QString GetSetting(const QString& application, const QString& section, const QString& key, const QString& def)
{
    HKEY raw = nullptr;
    const LONG opened =
        RegOpenKeyExA(HKEY_CURRENT_USER, keyPath(application, section).c_str(), 0, KEY_QUERY_VALUE, &raw);
    if (opened == ERROR_FILE_NOT_FOUND)
        return def;
    if (opened != ERROR_SUCCESS)
        fail(opened, u"Kann \"%1\\%2\" nicht lesen"_s.arg(application, section));
    const KeyHandle handle(raw);

    const std::string name = bytesOf(key, u"der Name"_s);
    DWORD type = 0;
    DWORD size = 0;
    LONG rc = RegQueryValueExA(handle.get(), name.c_str(), nullptr, &type, nullptr, &size);
    if (rc == ERROR_FILE_NOT_FOUND)
        return def;
    if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA)
        fail(rc, u"Kann \"%1\" nicht lesen"_s.arg(key));
    if (type != REG_SZ)
        return def;
    std::vector<char> data(size + 1, '\0');
    rc = RegQueryValueExA(handle.get(), name.c_str(), nullptr, &type, reinterpret_cast<LPBYTE>(data.data()),
                          &size);
    if (rc != ERROR_SUCCESS)
        fail(rc, u"Kann \"%1\" nicht lesen"_s.arg(key));
    const std::string text(data.data()); // up to the terminator, as a string value reads
    return QString::fromStdString(cp1252::toUtf8(text));
}

void SaveSetting(const QString& application, const QString& section, const QString& key, const QString& value)
{
    SaveSettings(application, section, {{key, value}});
}

void SaveSettings(const QString& application, const QString& section, const QList<Setting>& settings)
{
    // Every text is checked before anything is written.
    std::vector<std::string> names;
    std::vector<std::string> data;
    for (const auto& [key, value] : settings) {
        names.push_back(bytesOf(key, u"der Name"_s));
        data.push_back(bytesOf(value, u"der Wert von \"%1\""_s.arg(key)));
    }
    // An existing key is only opened, so that a store that cannot be written fails at the values
    // themselves, and says which.
    const std::string path = keyPath(application, section);
    constexpr REGSAM access = KEY_QUERY_VALUE | KEY_SET_VALUE;
    HKEY raw = nullptr;
    LONG opened = RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, access, &raw);
    if (opened == ERROR_FILE_NOT_FOUND) {
        DWORD disposition = 0;
        SECURITY_ATTRIBUTES security = {};
        opened = RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 access | KEY_CREATE_SUB_KEY, &security, &raw, &disposition);
    }
    if (opened != ERROR_SUCCESS)
        fail(opened, u"Kann \"%1\\%2\" nicht anlegen"_s.arg(application, section));
    const KeyHandle handle(raw);

    std::vector<PlenvaroRegistryValue> values;
    for (std::size_t i = 0; i < names.size(); ++i)
        values.push_back({names[i].c_str(), REG_SZ, reinterpret_cast<const BYTE*>(data[i].c_str()),
                          static_cast<DWORD>(data[i].size() + 1)});
    const auto count = static_cast<DWORD>(values.size());
    DWORD failed = count;
    DWORD unrestored = 0;
    const LONG rc = plenvaroRegistrySetValues(handle.get(), count, values.data(), &failed, &unrestored);
    if (rc == ERROR_SUCCESS)
        return;
    QString what = failed < count || count == 1
                       ? u"Kann \"%1\" nicht speichern"_s.arg(settings.at(failed < count ? failed : 0).first)
                       : u"Kann die Einstellungen nicht speichern"_s;
    if (count > 1)
        what += unrestored == 0
                    ? u"; die gespeicherten Werte sind unverändert"_s
                    : u"; %1 schon geschriebene Werte ließen sich nicht zurücksetzen"_s.arg(unrestored);
    fail(rc, what);
}

} // namespace session
