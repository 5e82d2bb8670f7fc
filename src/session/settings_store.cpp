#include "session/settings_store.h"

#include "platform/forms/error.h"
#include "platform/winreg/registry_api.h"
#include "registry/cp1252.h"

#include <memory>
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

[[noreturn]] void fail(LONG code, const QString& what)
{
    QString description = u"Einstellungsspeicher: %1 (Fehler %2)"_s.arg(what).arg(code);
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
    const std::string name = bytesOf(key, u"der Name"_s);
    const std::string data = bytesOf(value, u"der Wert von \"%1\""_s.arg(key));
    HKEY raw = nullptr;
    DWORD disposition = 0;
    SECURITY_ATTRIBUTES security = {};
    const LONG created = RegCreateKeyExA(HKEY_CURRENT_USER, keyPath(application, section).c_str(), 0, nullptr,
                                         REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | KEY_CREATE_SUB_KEY,
                                         &security, &raw, &disposition);
    if (created != ERROR_SUCCESS)
        fail(created, u"Kann \"%1\\%2\" nicht anlegen"_s.arg(application, section));
    const KeyHandle handle(raw);
    const LONG rc =
        RegSetValueExA(handle.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>(data.size() + 1));
    if (rc != ERROR_SUCCESS)
        fail(rc, u"Kann \"%1\" nicht speichern"_s.arg(key));
}

} // namespace session
