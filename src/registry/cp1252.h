#pragma once

#include <optional>
#include <string>
#include <string_view>

// Windows-1252, the code page behind the registry's single-byte ("A") functions, and UTF-8, the
// program's own text. The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// stand for the control characters of the same number, as Windows maps them, so every byte survives
// a round trip.
namespace cp1252 {

// The Windows-1252 bytes of UTF-8 text; nullopt when the text is not valid UTF-8 or holds a
// character the code page cannot represent (nothing is replaced by '?').
std::optional<std::string> fromUtf8(std::string_view utf8);

// The UTF-8 text of Windows-1252 bytes; every byte has a character.
std::string toUtf8(std::string_view bytes);

} // namespace cp1252
