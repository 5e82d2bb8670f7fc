#include "registry/cls_registry.h"

#include "platform/winreg/registry_api.h"
#include "registry/cp1252.h"
#include "registry/value_text.h"

#include <array>
#include <cstring>
#include <optional>
#include <utility>

namespace registry {

// An open key, closed on every way out. The predefined roots are used without being opened and
// are never closed.
class clsRegistry::KeyHandle final
{
public:
    static KeyHandle predefined(HKEY root) noexcept { return KeyHandle(root, false); }
    // Opening a root with an empty sub-path hands back the root itself.
    static KeyHandle opened(HKEY key, HKEY root) noexcept { return KeyHandle(key, key != root); }

    KeyHandle(KeyHandle&& other) noexcept : m_key(std::exchange(other.m_key, nullptr)), m_owned(other.m_owned)
    {}
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;
    KeyHandle& operator=(KeyHandle&&) = delete;
    ~KeyHandle()
    {
        if (m_owned && m_key)
            RegCloseKey(m_key);
    }

    HKEY get() const noexcept { return m_key; }
    explicit operator bool() const noexcept { return m_key != nullptr; }

private:
    KeyHandle(HKEY key, bool owned) noexcept : m_key(key), m_owned(owned) {}

    HKEY m_key;
    bool m_owned;
};

namespace {

// Key names (at most 255 characters) always fit the enumeration buffer; value names may run to
// 16383 characters, which a second try makes room for, terminator included.
constexpr DWORD EnumBufferLength = 2048;
constexpr DWORD LongestValueName = 16384;

// The type codes setValue takes, as the signed numbers callers pass.
constexpr std::int32_t TypeString = REG_SZ;
constexpr std::int32_t TypeBinary = REG_BINARY;
constexpr std::int32_t TypeDword = REG_DWORD;

std::string quoted(std::string_view text)
{
    return '"' + std::string(text) + '"';
}

// Path pieces and data for the A functions. A NUL would silently cut a name short, so names refuse it.
std::string native(std::string_view text, const char* source, bool isName)
{
    if (isName && text.find('\0') != std::string_view::npos)
        throw RegistryError(code::InvalidArgument, source, "Schlüssel enthält ein Nullzeichen");
    std::optional<std::string> bytes = cp1252::fromUtf8(text);
    if (!bytes)
        throw RegistryError(code::InvalidArgument, source,
                            std::string(isName ? "Schlüssel" : "Wert") +
                                " nicht in Windows-1252 darstellbar: " + quoted(text));
    if (bytes->size() >= 0xFFFFFFFFu)
        throw RegistryError(code::InvalidArgument, source,
                            std::string(isName ? "Schlüssel" : "Wert") + " zu lang");
    return std::move(*bytes);
}

std::string nativeName(std::string_view text)
{
    return native(text, "clsRegistry", true); // the path was checked already; cannot fail here
}

LPBYTE bytePointer(std::string& buffer)
{
    return reinterpret_cast<LPBYTE>(buffer.data());
}

const BYTE* bytePointer(const std::string& buffer)
{
    return reinterpret_cast<const BYTE*>(buffer.data());
}

} // namespace

void clsRegistry::Key(std::string_view path)
{
    if (path.empty() || path == "\\")
        throw RegistryError(code::InvalidKey, "Let Key", "Ungültiger Schlüssel");
    std::string copy(path); // path may be a view of m_key itself
    m_key = std::move(copy);
}

void clsRegistry::refuseKeyExistsAssignment()
{
    throw RegistryError(code::ReadOnlyProperty, "keyExists", "");
}

void clsRegistry::checkAssigned() const
{
    if (m_key.empty())
        throw RegistryError(code::InvalidKey, "Let Key", "Ungültiger Schlüssel");
}

void clsRegistry::checkPathText(const char* source) const
{
    native(m_key, source, true);
}

clsRegistry::KeyHandle clsRegistry::getRoot(std::string_view name)
{
    struct Root
    {
        std::string_view name;
        HKEY handle;
    };
    static const std::array<Root, 12> roots = {{
        {"HKCU", HKEY_CURRENT_USER},
        {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {"HKLM", HKEY_LOCAL_MACHINE},
        {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {"HKU", HKEY_USERS},
        {"HKEY_USERS", HKEY_USERS},
        {"HKDD", HKEY_DYN_DATA},
        {"HKEY_DYN_DATA", HKEY_DYN_DATA},
        {"HKCC", HKEY_CURRENT_CONFIG},
        {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
        {"HKCR", HKEY_CLASSES_ROOT},
        {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    }};
    std::string upper(name);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    for (const Root& root : roots)
        if (root.name == upper)
            return KeyHandle::predefined(root.handle);
    throw RegistryError(code::UnknownRoot, "getRoot", "Unbekannter Hauptschlüssel: " + quoted(name));
}

// Every key is opened with full access, reads too, so a key the user may only read counts as missing.
clsRegistry::KeyHandle clsRegistry::OpenKey(std::string_view path) const
{
    const auto cut = path.find('\\');
    if (cut == std::string_view::npos)
        return getRoot(path);
    const KeyHandle root = getRoot(path.substr(0, cut));
    HKEY key = nullptr;
    const LONG rc =
        RegOpenKeyExA(root.get(), nativeName(path.substr(cut + 1)).c_str(), 0, KEY_ALL_ACCESS, &key);
    if (rc != ERROR_SUCCESS)
        throw RegistryError(code::CannotOpenKey, "OpenKey",
                            "Kann Schlüssel nicht öffnen " + quoted(m_key) + ", Error # " +
                                std::to_string(rc));
    return KeyHandle::opened(key, root.get());
}

std::string clsRegistry::getValue() const
{
    checkAssigned();
    checkPathText("getValue");
    const auto cut = m_key.rfind('\\');
    if (cut == std::string::npos)
        throw RegistryError(code::InvalidKey, "getValue", "Ungültiger Schlüssel: " + quoted(m_key));
    const KeyHandle key = OpenKey(std::string_view(m_key).substr(0, cut));
    const std::string name = nativeName(std::string_view(m_key).substr(cut + 1));

    // The probe offers a real buffer without room, so any stored data answers ERROR_MORE_DATA with
    // its size and type; an empty value answers success.
    DWORD type = REG_NONE;
    BYTE probe = 0;
    DWORD size = 0;
    LONG rc = RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, &probe, &size);
    std::string text;
    if (rc == ERROR_MORE_DATA) {
        if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_BINARY) {
            std::string data(size, '\0');
            rc = RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, bytePointer(data), &size);
            data.resize(size);
            if (type == REG_BINARY) {
                text = value_text::formatBinary(data);
            } else {
                // Only a terminator is dropped: a string stored without one keeps its last character.
                if (!data.empty() && data.back() == '\0')
                    data.pop_back();
                text = cp1252::toUtf8(data);
            }
        } else if (type == REG_DWORD) {
            std::array<BYTE, 4> data{}; // a shorter value reads zero-extended
            size = static_cast<DWORD>(data.size());
            rc = RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, data.data(), &size);
            DWORD number = 0;
            std::memcpy(&number, data.data(), sizeof number);
            text = value_text::formatDword(number);
        }
    }
    if (rc != ERROR_SUCCESS)
        throw RegistryError(code::CannotReadValue, "getValue", "Kann Schlüssel nicht lesen " + quoted(m_key));
    return text;
}

// A value directly below a root goes into the root itself; anything deeper is opened or created
// on the way, once autoCreate allows it.
clsRegistry::KeyHandle clsRegistry::createKey(std::string_view keyPart)
{
    const auto rootEnd = keyPart.find('\\');
    if (rootEnd == std::string_view::npos)
        return OpenKey(keyPart);
    if (!m_autoCreate && !KeyExists())
        throw RegistryError(code::KeyNotCreated, "setValue", "Schlüssel wird nicht angelegt");
    const KeyHandle root = getRoot(keyPart.substr(0, rootEnd));
    char noClass[] = "";
    SECURITY_ATTRIBUTES security{};
    HKEY key = nullptr;
    DWORD disposition = 0;
    const LONG rc = RegCreateKeyExA(root.get(), nativeName(keyPart.substr(rootEnd + 1)).c_str(), 0, noClass,
                                    REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | KEY_CREATE_SUB_KEY, &security,
                                    &key, &disposition);
    if (rc != ERROR_SUCCESS || !key)
        throw RegistryError(code::CannotCreateKey, "setValue",
                            "Fehler beim Erstellen/Zugriff auf Schlüssel " + quoted(m_key) +
                                " Error #: " + std::to_string(rc));
    return KeyHandle::opened(key, root.get());
}

bool clsRegistry::setValue(std::string_view value, std::int32_t type)
{
    checkAssigned();
    checkPathText("setValue");
    const auto cut = m_key.rfind('\\');
    if (cut == std::string::npos)
        throw RegistryError(code::InvalidKey, "setValue", "Ungültiger Schlüssel: " + quoted(m_key));
    const std::string name = nativeName(std::string_view(m_key).substr(cut + 1));
    // Refused text must not leave keys behind, so it is converted before anything is created.
    const std::string text = type == TypeString ? native(value, "setValue", false) : std::string();

    const KeyHandle key = createKey(std::string_view(m_key).substr(0, cut));
    switch (type) {
    case TypeString:
        return RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ, bytePointer(text),
                              static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
    case TypeBinary: {
        const std::string bytes = value_text::parseBinary(value);
        return RegSetValueExA(key.get(), name.c_str(), 0, REG_BINARY, bytePointer(bytes),
                              static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
    }
    case TypeDword: {
        const DWORD number = value_text::parseDword(value);
        std::array<BYTE, sizeof number> bytes{};
        std::memcpy(bytes.data(), &number, sizeof number);
        return RegSetValueExA(key.get(), name.c_str(), 0, REG_DWORD, bytes.data(), sizeof number) ==
               ERROR_SUCCESS;
    }
    default: // nothing to write; the key is open or created
        return true;
    }
}

std::int32_t clsRegistry::delKey()
{
    checkAssigned();
    checkPathText("delKey");
    const bool deletesKey = m_key.back() == '\\';
    if (deletesKey) {
        Key(std::string_view(m_key).substr(0, m_key.size() - 1)); // kept shortened, even on error
        if (m_key.back() == '\\')
            throw RegistryError(code::InvalidKey, "delKey", "Ungültiger Schlüssel!");
    }
    const auto cut = m_key.rfind('\\');
    if (cut == std::string::npos)
        throw RegistryError(code::InvalidKey, "delKey", "Ungültiger Schlüssel!");
    const KeyHandle parent = OpenKey(std::string_view(m_key).substr(0, cut));
    const std::string name = nativeName(std::string_view(m_key).substr(cut + 1));
    return deletesKey ? RegDeleteKeyA(parent.get(), name.c_str())
                      : RegDeleteValueA(parent.get(), name.c_str());
}

std::vector<std::string> clsRegistry::regEnum() const
{
    checkAssigned();
    checkPathText("regEnum");
    const KeyHandle key = OpenKey(m_key);
    const bool subKeys = m_key.back() == '\\';
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        std::string name(EnumBufferLength, '\0');
        DWORD length = EnumBufferLength;
        LONG rc = ERROR_SUCCESS;
        if (subKeys) {
            // The class is not wanted; a zero-length class buffer is refused by some implementations.
            FILETIME written{};
            rc = RegEnumKeyExA(key.get(), index, name.data(), &length, nullptr, nullptr, nullptr, &written);
        } else {
            rc = RegEnumValueA(key.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_MORE_DATA) { // value names may be longer than any key name
                name.assign(LongestValueName, '\0');
                length = LongestValueName;
                rc =
                    RegEnumValueA(key.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
            }
        }
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        // Handing back a partial list would pass for the whole of it.
        if (rc != ERROR_SUCCESS)
            throw RegistryError(code::CannotReadValue, "regEnum",
                                "Kann Schlüssel nicht lesen " + quoted(m_key) + ", Error # " +
                                    std::to_string(rc));
        name.resize(length);
        names.push_back(cp1252::toUtf8(name));
    }
    return names;
}

bool clsRegistry::KeyExists() const
{
    try {
        checkAssigned();
        if (m_key.back() != '\\') {
            getValue();
            return true;
        }
        checkPathText("keyExists");
        return static_cast<bool>(OpenKey(m_key));
    } catch (const RegistryError&) {
        return false;
    }
}

} // namespace registry
