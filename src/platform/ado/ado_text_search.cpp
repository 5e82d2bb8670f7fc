#include "platform/ado/ado_text_search.h"

#include "platform/ado/ado_utf8.h"

#include <QChar>
#include <QString>

#include <algorithm>
#include <bit>
#include <cstring>

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

constexpr std::array<unsigned char, 256> kLower = [] {
    std::array<unsigned char, 256> table{};
    for (std::size_t c = 0; c < table.size(); ++c)
        table[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    return table;
}();

unsigned char lower(char c) noexcept
{
    return kLower[static_cast<unsigned char>(c)];
}

// Folds the code point (or stray byte) at text[i], which is no ASCII, into out and moves i past it. `last`
// is the folded byte before it in the same value, 0 at the start. Returns how many bytes it wrote.
std::size_t foldUnit(std::string_view text, std::size_t& i, char last, char (&out)[4])
{
    std::size_t length = 0;
    const char32_t cp = decode(text, i, length);
    if (length == 0) {
        out[0] = text[i++];
        return 1;
    }
    i += length;
    const auto pair = [&out](char a, char b) {
        out[0] = a;
        out[1] = b;
        return std::size_t{2};
    };
    switch (cp) {
    case U'ä':
    case U'Ä':
        return pair('a', 'e');
    case U'ö':
    case U'Ö':
        return pair('o', 'e');
    case U'ü':
    case U'Ü':
        return pair('u', 'e');
    case U'ß':
    case kCapitalSharpS:
        return pair('s', 's');
    case kCombiningDiaeresis:
        // "u" + U+0308 is the same ü as the precomposed one.
        if (last == 'a' || last == 'o' || last == 'u') {
            out[0] = 'e';
            return 1;
        }
        break;
    default:
        break;
    }
    return detail::encodeUtf8(QChar::toCaseFolded(cp), out);
}

// Reads a text's folded spelling a byte at a time.
class FoldedReader final
{
public:
    // Reads from text[at] on; `last` is the folded byte before it.
    FoldedReader(std::string_view text, std::size_t at, char last) noexcept
        : text_(text), at_(at), last_(last)
    {}

    // The next folded byte, or -1 after the last.
    int next()
    {
        if (pendingAt_ < pendingSize_)
            return emit(pending_[pendingAt_++]);
        if (at_ >= text_.size())
            return -1;
        if (static_cast<unsigned char>(text_[at_]) < 0x80)
            return emit(static_cast<char>(lower(text_[at_++])));
        pendingSize_ = foldUnit(text_, at_, last_, pending_);
        pendingAt_ = 1;
        return emit(pending_[0]);
    }

private:
    int emit(char c) noexcept
    {
        last_ = c;
        return static_cast<unsigned char>(c);
    }

    std::string_view text_;
    std::size_t at_;
    char pending_[4] = {};
    std::size_t pendingAt_ = 0;
    std::size_t pendingSize_ = 0;
    char last_;
};

bool isContinuation(char c) noexcept
{
    return (static_cast<unsigned char>(c) & 0xC0u) == 0x80u;
}

// The last folded byte of text[0, at), where at starts a code point (or stray byte), 0 for none.
char lastFoldedBefore(std::string_view text, std::size_t at)
{
    if (at == 0)
        return 0;
    const char previous = text[at - 1];
    if (static_cast<unsigned char>(previous) < 0x80)
        return static_cast<char>(lower(previous));
    for (std::size_t back = 2; back <= 4 && back <= at; ++back) {
        std::size_t start = at - back;
        if (isContinuation(text[start]))
            continue;
        std::size_t length = 0;
        decode(text, start, length);
        if (length == back) {
            // What came before matters only to a diaeresis, whose own folding is never a vowel it joins.
            char folded[4];
            return folded[foldUnit(text, start, 0, folded) - 1];
        }
        break;
    }
    return previous; // a stray byte stands for itself
}

bool isAscii(std::string_view text) noexcept
{
    unsigned char any = 0;
    for (const char c : text)
        any |= static_cast<unsigned char>(c);
    return any < 0x80;
}

// Folded bytes that only an ASCII character folds to: any folded ASCII byte but the letters that umlauts,
// ß, the combining diaeresis, the long s (U+017F) and the Kelvin sign (U+212A) fold to.
bool onlyFromAscii(char folded) noexcept
{
    const auto c = static_cast<unsigned char>(folded);
    return c < 0x80 && std::string_view("aeousk").find(folded) == std::string_view::npos;
}

// The longest run of the folded needle made only of such bytes: a value whose folded text holds the needle
// holds that run among its own bytes, letters in either case.
std::string anchorOf(std::string_view folded)
{
    std::string_view best;
    for (std::size_t i = 0; i < folded.size();) {
        std::size_t end = i;
        while (end < folded.size() && onlyFromAscii(folded[end]))
            ++end;
        if (end - i > best.size())
            best = folded.substr(i, end - i);
        i = end == i ? i + 1 : end;
    }
    return std::string(best);
}

} // namespace

void appendSearchFolded(std::string_view utf8, std::string& out)
{
    const std::size_t start = out.size();
    for (std::size_t i = 0; i < utf8.size();) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            out.push_back(static_cast<char>(lower(utf8[i++])));
            continue;
        }
        char folded[4];
        const std::size_t count = foldUnit(utf8, i, out.size() > start ? out.back() : '\0', folded);
        out.append(folded, count);
    }
}

std::string searchFolded(QStringView text)
{
    const QByteArray utf8 = text.toUtf8();
    std::string folded;
    appendSearchFolded(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())), folded);
    return folded;
}

int compareSearchFolded(std::string_view a, std::string_view b) noexcept
{
    // Equal bytes fold alike, and so do ASCII letters that differ only in case: no reader is needed up to
    // the first other difference, which is where most comparisons end. Long equal runs go a word at a time.
    const std::size_t common = std::min(a.size(), b.size());
    std::size_t i = 0;
    for (quint64 x = 0, y = 0; i + sizeof x <= common; i += sizeof x) {
        std::memcpy(&x, a.data() + i, sizeof x);
        std::memcpy(&y, b.data() + i, sizeof y);
        if (x != y)
            break;
    }
    std::size_t firstDifference = std::string_view::npos;
    for (; i < common; ++i) {
        if (a[i] == b[i])
            continue;
        if (static_cast<unsigned char>(a[i] | b[i]) >= 0x80)
            break;
        const unsigned char x = lower(a[i]);
        const unsigned char y = lower(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
        if (firstDifference == std::string_view::npos)
            firstDifference = i;
    }
    const auto byBytes = [&]() {
        if (firstDifference != std::string_view::npos)
            return static_cast<unsigned char>(a[firstDifference]) <
                           static_cast<unsigned char>(b[firstDifference])
                       ? -1
                       : 1;
        const int order = a.substr(i).compare(b.substr(i));
        return (order > 0) - (order < 0);
    };
    if (i == a.size() && i == b.size())
        return byBytes();
    // Fold on from the start of the code point the difference is in; before it both are the same bytes.
    std::size_t from = i;
    while (from > 0 &&
           ((from < a.size() && isContinuation(a[from])) || (from < b.size() && isContinuation(b[from]))))
        --from;
    const char last = lastFoldedBefore(a, from);
    FoldedReader x(a, from, last);
    FoldedReader y(b, from, last);
    for (;;) {
        const int cx = x.next();
        const int cy = y.next();
        if (cx != cy)
            return cx < cy ? -1 : 1;
        if (cx < 0)
            return byBytes();
    }
}

namespace {

constexpr quint64 kEveryByte = 0x0101010101010101ULL;

// Set in every byte: letters of either case alike, and nothing unlike what lower() makes equal.
constexpr quint64 kLowerBit = 0x20 * kEveryByte;

// Bit 7 of every zero byte of v (and maybe of some bytes above one); no other bits.
constexpr quint64 zeroBytes(quint64 v) noexcept
{
    return (v - kEveryByte) & ~v & (0x80 * kEveryByte);
}

} // namespace

CaselessSearcher::CaselessSearcher(std::string pattern) : pattern_(std::move(pattern))
{
    if (pattern_.empty())
        return;
    first_ = static_cast<quint64>(static_cast<unsigned char>(pattern_.front()) | 0x20) * kEveryByte;
    last_ = static_cast<quint64>(static_cast<unsigned char>(pattern_.back()) | 0x20) * kEveryByte;
}

bool CaselessSearcher::at(std::string_view text, std::size_t i) const noexcept
{
    for (std::size_t k = 0; k < pattern_.size(); ++k) {
        if (lower(text[i + k]) != static_cast<unsigned char>(pattern_[k]))
            return false;
    }
    return true;
}

std::size_t CaselessSearcher::find(std::string_view text) const noexcept
{
    const std::size_t m = pattern_.size();
    if (m == 0)
        return 0;
    if (text.size() < m)
        return std::string_view::npos;
    const std::size_t starts = text.size() - m + 1; // places the pattern can start at
    std::size_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; i + 8 <= starts; i += 8) {
            quint64 front = 0;
            quint64 back = 0;
            std::memcpy(&front, text.data() + i, sizeof front);
            std::memcpy(&back, text.data() + i + m - 1, sizeof back);
            quint64 candidates =
                zeroBytes((front | kLowerBit) ^ first_) & zeroBytes((back | kLowerBit) ^ last_);
            for (; candidates != 0; candidates &= candidates - 1) {
                const std::size_t start = i + static_cast<std::size_t>(std::countr_zero(candidates)) / 8;
                if (at(text, start))
                    return start;
            }
        }
    }
    for (; i < starts; ++i) {
        if (at(text, i))
            return i;
    }
    return std::string_view::npos;
}

FoldedMatcher::FoldedMatcher(QStringView needle) : needle_(searchFolded(needle))
{
    asciiNeedle_ = isAscii(needle_);
    anchor_ = CaselessSearcher(anchorOf(needle_));
    if (asciiNeedle_)
        asciiSearcher_ = CaselessSearcher(needle_);
}

bool FoldedMatcher::matches(std::string_view utf8)
{
    if (!anchor_.foundIn(utf8))
        return false;
    if (isAscii(utf8))
        return asciiNeedle_ && asciiSearcher_.foundIn(utf8);
    scratch_.clear();
    appendSearchFolded(utf8, scratch_);
    return scratch_.find(needle_) != std::string::npos;
}

std::size_t FoldedMatcher::firstMatch(const char* texts, const quint32* ends, std::size_t first,
                                      std::size_t last)
{
    const auto text = [&](std::size_t row) {
        return std::string_view(texts + ends[row], ends[row + 1] - ends[row]);
    };
    if (anchor_.empty()) {
        for (std::size_t row = first; row < last; ++row) {
            if (matches(text(row)))
                return row;
        }
        return last;
    }
    std::size_t row = first;
    while (row < last) {
        const std::string_view rest(texts + ends[row], ends[last] - ends[row]);
        const std::size_t at = anchor_.find(rest);
        if (at == std::string_view::npos)
            return last;
        // The row the run starts in; a run across two texts is no match of the first and is looked for again
        // from the second on.
        const quint32 offset = static_cast<quint32>(ends[row] + at);
        row = static_cast<std::size_t>(std::upper_bound(ends + row, ends + last, offset) - ends) - 1;
        if (matches(text(row)))
            return row;
        ++row;
    }
    return last;
}

} // namespace ado
