// The text forms of REG_BINARY and REG_DWORD values that clsRegistry parses from its callers, and
// the code page conversion every value text passes through on its way to the store.

#include "fuzz_check.h"

#include "registry/cp1252.h"
#include "registry/registry_error.h"
#include "registry/value_text.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

using namespace registry;

void checkRefusal(const RegistryError& error, bool binary)
{
    const std::int32_t number = error.number();
    fuzz::check(number == code::TypeMismatch || number == code::Overflow ||
                    (binary && number == code::BinaryTooLarge),
                "bad text is refused with one of the documented errors");
    fuzz::check(error.source() == "setValue", "the refusal names setValue");
    fuzz::check(!error.description().empty(), "the refusal says why");
}

void binary(std::string_view text)
{
    std::string bytes;
    try {
        bytes = value_text::parseBinary(text);
    } catch (const RegistryError& error) {
        checkRefusal(error, true);
        return;
    }
    fuzz::check(!bytes.empty(), "accepted binary text holds at least one byte");
    const std::string shown = value_text::formatBinary(bytes);
    fuzz::check(shown.size() == bytes.size() * 3 - 1, "every byte shows as two digits and a blank between");
    fuzz::check(value_text::parseBinary(shown) == bytes, "binary text as shown reads back the same");
}

void dword(std::string_view text)
{
    std::uint32_t value = 0;
    try {
        value = value_text::parseDword(text);
    } catch (const RegistryError& error) {
        checkRefusal(error, false);
        return;
    }
    fuzz::check(value_text::parseDword(value_text::formatDword(value)) == value,
                "a number as shown reads back the same");
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string hex = "&H";
    for (int shift = 28; shift >= 0; shift -= 4)
        hex += digits[(value >> shift) & 0xF];
    fuzz::check(value_text::parseDword(hex) == value, "the same number in hex reads the same");
}

void codePage(std::string_view text)
{
    if (const std::optional<std::string> bytes = cp1252::fromUtf8(text))
        fuzz::check(cp1252::toUtf8(*bytes) == text, "text the code page holds converts back unchanged");
    const std::string asText = cp1252::toUtf8(text);
    fuzz::check(cp1252::fromUtf8(asText) == std::optional<std::string>(text),
                "every byte survives a round trip");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    binary(text);
    dword(text);
    codePage(text);
    return 0;
}
