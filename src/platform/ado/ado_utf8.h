#pragma once

#include <cstddef>

namespace ado::detail {

// Writes a code point (no surrogate) in UTF-8 at out, which has room for four bytes; returns how many it
// wrote.
inline std::size_t encodeUtf8(char32_t cp, char* out) noexcept
{
    const auto put = [out](std::size_t i, char32_t bits) { out[i] = static_cast<char>(bits); };
    if (cp < 0x80) {
        put(0, cp);
        return 1;
    }
    if (cp < 0x800) {
        put(0, 0xC0 | cp >> 6);
        put(1, 0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        put(0, 0xE0 | cp >> 12);
        put(1, 0x80 | (cp >> 6 & 0x3F));
        put(2, 0x80 | (cp & 0x3F));
        return 3;
    }
    put(0, 0xF0 | cp >> 18);
    put(1, 0x80 | (cp >> 12 & 0x3F));
    put(2, 0x80 | (cp >> 6 & 0x3F));
    put(3, 0x80 | (cp & 0x3F));
    return 4;
}

} // namespace ado::detail
