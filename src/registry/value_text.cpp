#include "registry/value_text.h"

#include "registry/registry_error.h"

#include <limits>
#include <optional>

namespace registry::value_text {
namespace {

constexpr std::string_view Source = "setValue";

std::string quoted(std::string_view text)
{
    return '"' + std::string(text) + '"';
}

std::string_view trimBlanks(std::string_view text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Hex digits of any count; nullopt for an empty or non-hex text, UINT64_MAX past 32 bits.
std::optional<std::uint64_t> hexValue(std::string_view digits)
{
    if (digits.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : digits) {
        const int digit = hexDigit(c);
        if (digit < 0)
            return std::nullopt;
        if (value <= 0xFFFFFFFFu)
            value = value * 16 + static_cast<std::uint64_t>(digit);
    }
    return value <= 0xFFFFFFFFu ? value : std::numeric_limits<std::uint64_t>::max();
}

} // namespace

std::string formatBinary(std::string_view bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        if (!text.empty())
            text += ' ';
        text += digits[b >> 4];
        text += digits[b & 0x0F];
    }
    return text;
}

std::string formatDword(std::uint32_t value)
{
    return std::to_string(static_cast<std::int32_t>(value));
}

std::string parseBinary(std::string_view text)
{
    // The blank appended here ends the last token, and is part of the text error messages quote.
    const std::string processed = std::string(trimBlanks(text)) + ' ';
    std::string bytes;
    std::string_view::size_type start = 0;
    for (std::string_view::size_type at = 0; at < processed.size(); ++at) {
        if (processed[at] != ' ')
            continue;
        const std::string_view token = std::string_view(processed).substr(start, at - start);
        start = at + 1;
        const std::optional<std::uint64_t> value = hexValue(token);
        if (!value)
            throw RegistryError(
                code::TypeMismatch, std::string(Source),
                "Typen unverträglich: " +
                    (token.empty() ? std::string("leere Binärzahl") : "keine Binärzahl " + quoted(token)) +
                    " in " + quoted(processed));
        // Tokens are read as 16-bit integers: 8000..FFFF are negative, anything larger does not fit.
        if (*value > 0x7FFF)
            throw RegistryError(code::Overflow, std::string(Source),
                                "Überlauf: Binärzahl " + quoted(token) + " in " + quoted(processed));
        if (*value > 255)
            throw RegistryError(code::BinaryTooLarge, std::string(Source),
                                "Ungültige Binärzahl (größer als 255): " + quoted(processed));
        bytes += static_cast<char>(*value);
    }
    return bytes;
}

std::uint32_t parseDword(std::string_view text)
{
    const std::string_view number = trimBlanks(text);
    const auto mismatch = [&] {
        return RegistryError(code::TypeMismatch, std::string(Source),
                             "Typen unverträglich: keine Zahl " + quoted(text));
    };
    const auto overflow = [&] {
        return RegistryError(code::Overflow, std::string(Source),
                             "Überlauf: " + quoted(text) + " liegt außerhalb von 32 Bit");
    };
    if (number.size() > 2 && number[0] == '&' && (number[1] == 'H' || number[1] == 'h')) {
        const std::optional<std::uint64_t> value = hexValue(number.substr(2));
        if (!value)
            throw mismatch();
        if (*value > 0xFFFFFFFFu)
            throw overflow();
        return static_cast<std::uint32_t>(*value);
    }

    std::string_view digits = number;
    const bool negative = !digits.empty() && digits[0] == '-';
    if (!digits.empty() && (digits[0] == '-' || digits[0] == '+'))
        digits.remove_prefix(1);
    if (digits.empty())
        throw mismatch();
    std::uint64_t magnitude = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            throw mismatch();
        if (magnitude <= 0x80000000u) // past that it is out of range anyway; read on for bad digits
            magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (magnitude > (negative ? 0x80000000u : 0x7FFFFFFFu))
        throw overflow();
    const auto value = static_cast<std::int64_t>(magnitude);
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(negative ? -value : value));
}

} // namespace registry::value_text
