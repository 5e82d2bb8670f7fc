#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The text forms clsRegistry reads and writes REG_BINARY and REG_DWORD data in. The parsers raise
// RegistryError with source "setValue", the only caller.
namespace registry::value_text {

// Every byte as two upper-case hex digits, separated by one blank: 0A FF 10.
std::string formatBinary(std::string_view bytes);
// Decimal, read as signed: 0xFFFFFFFF gives -1.
std::string formatDword(std::uint32_t value);

// Hex byte tokens separated by single blanks, blanks around the whole text ignored. A token above
// 255 raises code::BinaryTooLarge; an empty token (two blanks, empty text) or a non-hex character
// raises code::TypeMismatch; a token of 8000 or more, negative as the runtime's 16-bit integer,
// raises code::Overflow.
std::string parseBinary(std::string_view text);

// Optional sign and decimal digits within the signed 32-bit range, or "&H" and up to eight
// significant hex digits taken as the 32-bit pattern (&HFFFFFFFF is -1); blanks around it are
// ignored. Anything else (fractions, grouping, exponents) raises code::TypeMismatch, a number
// out of range code::Overflow.
std::uint32_t parseDword(std::string_view text);

} // namespace registry::value_text
