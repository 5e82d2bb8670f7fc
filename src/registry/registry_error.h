#pragma once

#include "platform/error/raised_error.h"

#include <cstdint>
#include <string>

namespace registry {

// An error raised by clsRegistry: a number, the routine that raised it and a German description
// (UTF-8), the way the component model reports errors.
class RegistryError final : public plenvaro::RaisedError
{
public:
    RegistryError(std::int32_t number, std::string source, std::string description);

    const std::string& source() const noexcept { return m_source; }
    // Source, description and number in one line, for logs; the user is shown the description.
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    std::string m_source;
    std::string m_what;
};

// The class's own codes, in the component model's range of object-defined errors, held as the
// signed 32-bit numbers callers compare with.
namespace code {
constexpr std::int32_t fromHresult(std::uint32_t value) noexcept
{
    return static_cast<std::int32_t>(value);
}
inline constexpr std::int32_t InvalidKey = fromHresult(0x80040202u);
inline constexpr std::int32_t UnknownRoot = fromHresult(0x80040203u);
inline constexpr std::int32_t CannotOpenKey = fromHresult(0x80040204u);
inline constexpr std::int32_t KeyNotCreated = fromHresult(0x80040205u);
inline constexpr std::int32_t ReadOnlyProperty = fromHresult(0x80040207u);
inline constexpr std::int32_t CannotReadValue = fromHresult(0x80040208u);
inline constexpr std::int32_t BinaryTooLarge = fromHresult(0x8004020Cu);
inline constexpr std::int32_t CannotCreateKey = fromHresult(0x8004020Fu);

// Not the class's own: the runtime's general errors, raised for text setValue cannot convert
// ("Typen unverträglich", "Überlauf") and for text the single-byte code page cannot carry
// ("Ungültiger Prozeduraufruf oder ungültiges Argument").
inline constexpr std::int32_t TypeMismatch = 13;
inline constexpr std::int32_t Overflow = 6;
inline constexpr std::int32_t InvalidArgument = 5;
} // namespace code

} // namespace registry
