#include "platform/ado/ado_text_search.h"

#include <QChar>
#include <QString>

namespace ado {
namespace {

constexpr char32_t kCombiningDiaeresis = 0x0308;
constexpr char32_t kCapitalSharpS = 0x1E9E;

// The code point starting at text[i] and its length; 0 as length for bytes that start no valid sequence.
char32_t decode(std::string_view text, std::size_t i, std::size_t& length) noexcept
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t count = 0;
    char32_t cp = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        count = 2;
        cp = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        count = 3;
        cp = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        count = 4;
        cp = lead & 0x07u;
    } else {
        length = 0;
        return 0;
    }
    if (i + count > text.size()) {
        length = 0;
        return 0;
    }
    for (std::size_t k = 1; k < count; ++k) {
        const unsigned char next = byte(i + k);
        if ((next & 0xC0u) != 0x80u) {
            length = 0;
            return 0;
        }
        cp = cp << 6 | (next & 0x3Fu);
    }
    const bool overlong = (count == 3 && cp < 0x800) || (count == 4 && cp < 0x10000);
    if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        length = 0;
        return 0;
    }
    length = count;
    return cp;
}

void encode(char32_t cp, std::string& out)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | cp >> 6));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | cp >> 12));
        out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | cp >> 18));
        out.push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

} // namespace

void appendSearchFolded(std::string_view utf8, std::string& out)
{
    const std::size_t start = out.size();
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c));
            ++i;
            continue;
        }
        std::size_t length = 0;
        const char32_t cp = decode(utf8, i, length);
        if (length == 0) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        i += length;
        switch (cp) {
        case U'ä':
        case U'Ä':
            out += "ae";
            break;
        case U'ö':
        case U'Ö':
            out += "oe";
            break;
        case U'ü':
        case U'Ü':
            out += "ue";
            break;
        case U'ß':
        case kCapitalSharpS:
            out += "ss";
            break;
        case kCombiningDiaeresis: {
            // "u" + U+0308 is the same ü as the precomposed one.
            const char last = out.size() > start ? out.back() : '\0';
            if (last == 'a' || last == 'o' || last == 'u')
                out.push_back('e');
            else
                encode(cp, out);
            break;
        }
        default:
            encode(QChar::toCaseFolded(cp), out);
            break;
        }
    }
}

std::string searchFolded(QStringView text)
{
    const QByteArray utf8 = text.toUtf8();
    std::string folded;
    appendSearchFolded(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())), folded);
    return folded;
}

FoldedMatcher::FoldedMatcher(QStringView needle) : needle_(searchFolded(needle)) {}

bool FoldedMatcher::matches(std::string_view utf8)
{
    scratch_.clear();
    appendSearchFolded(utf8, scratch_);
    return scratch_.find(needle_) != std::string::npos;
}

} // namespace ado
