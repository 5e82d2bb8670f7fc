#pragma once

#include "registry/registry_error.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace registry {

// Reads and writes the registry through one textual path, such as HKCU\Software\A\B: assign Key,
// then call one operation. A path ending in "\" names a key, any other path a value (the text after
// the last "\"); getValue and setValue on a key path address its unnamed default value. Every
// operation opens what it needs and closes it before returning; no handle outlives a call.
//
// Paths, names and string data are UTF-8 here and Windows-1252 towards the registry; text the code
// page cannot carry is refused (code::InvalidArgument) before anything is touched. Failures raise
// RegistryError with the codes in registry_error.h.
class clsRegistry final
{
public:
    clsRegistry() = default;

    const std::string& Key() const noexcept { return m_key; }
    // Anything but "" and "\" is taken unchanged; those raise code::InvalidKey and keep the old path.
    void Key(std::string_view path);

    // When false, setValue refuses to write a value that cannot be read yet (below a root it always writes).
    bool autoCreate() const noexcept { return m_autoCreate; }
    void autoCreate(bool value) noexcept { m_autoCreate = value; }

    // Whether the key can be opened with full access, or the value read by getValue. Never raises.
    bool KeyExists() const;
    // The property is read-only: assigning anything raises code::ReadOnlyProperty.
    template <typename T> [[noreturn]] void KeyExists(const T&) { refuseKeyExistsAssignment(); }

    // Deletes the key (path ending in "\", which Key loses for good) or the value, and returns the
    // platform's result: 0, or e.g. 2 for a missing one, 5 for a key with sub-keys.
    std::int32_t delKey();
    // Sub-key names of a key path, value names of a value path, in the platform's order.
    std::vector<std::string> regEnum() const;
    // REG_SZ and REG_EXPAND_SZ as stored (unexpanded), REG_BINARY as "0A FF 10", REG_DWORD as signed
    // decimal; other types raise code::CannotReadValue.
    std::string getValue() const;
    // Type 1 writes text, 3 hex bytes, 4 a 32-bit number (see value_text.h); any other type only
    // opens or creates the key. Creates missing keys on the way. True when the last call succeeded.
    bool setValue(std::string_view value, std::int32_t type);

private:
    class KeyHandle;

    [[noreturn]] static void refuseKeyExistsAssignment();
    static KeyHandle getRoot(std::string_view name);
    KeyHandle OpenKey(std::string_view path) const;
    KeyHandle createKey(std::string_view keyPart);
    // Each operation starts by re-assigning Key, which fails on an object that never had one.
    void checkAssigned() const;
    void checkPathText(const char* source) const;

    std::string m_key;
    bool m_autoCreate = true;
};

} // namespace registry
