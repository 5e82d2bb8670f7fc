#pragma once

#include <QStringView>
#include <QtGlobal>

#include <cstddef>
#include <string>
#include <string_view>

namespace ado {

// Text as a German reader compares it when searching: case folded, umlauts as their two-letter spellings
// (ä ae, ö oe, ü ue, also when written with a combining diaeresis) and ß as ss. Appends to out, in UTF-8;
// bytes that are no valid UTF-8 pass unchanged.
void appendSearchFolded(std::string_view utf8, std::string& out);
std::string searchFolded(QStringView text);

// Orders two texts by their folded spellings (-1, 0, 1) without writing either down; texts that fold alike
// by their bytes, so that only equal texts compare equal.
int compareSearchFolded(std::string_view a, std::string_view b) noexcept;

// Finds a lower-case ASCII pattern in text, ignoring the case of ASCII letters. Looks at eight places at a
// time for the pattern's first and last byte and compares only where both are.
class CaselessSearcher final
{
public:
    explicit CaselessSearcher(std::string pattern = {});

    bool empty() const noexcept { return pattern_.empty(); }
    // Where the pattern starts in text, npos when it is not there.
    std::size_t find(std::string_view text) const noexcept;
    bool foundIn(std::string_view text) const noexcept { return find(text) != std::string_view::npos; }

private:
    bool at(std::string_view text, std::size_t i) const noexcept;

    std::string pattern_;
    quint64 first_ = 0; // the first and the last byte in every byte, letters as lower case
    quint64 last_ = 0;
};

// Whether folded text contains a folded needle, for searching many values with one needle. Most values are
// decided without folding them: a value that lacks the needle's letters which only plain ASCII letters fold
// to cannot contain it, and a plain ASCII value folds to its lower case. Only the rest is folded, into a
// buffer the matcher keeps, so a search over a column allocates nothing per row.
class FoldedMatcher final
{
public:
    explicit FoldedMatcher(QStringView needle);

    bool empty() const noexcept { return needle_.empty(); }
    bool matches(std::string_view utf8);
    // The first of rows [first, last) whose text matches, `last` when none does. The texts lie end to end:
    // row r's from texts + ends[r] to texts + ends[r + 1]. Looks for the needle's ASCII run across all of
    // them at once and checks only the rows it turns up in.
    std::size_t firstMatch(const char* texts, const quint32* ends, std::size_t first, std::size_t last);

private:
    std::string needle_;
    bool asciiNeedle_ = true;
    CaselessSearcher anchor_; // a run of the needle every matching value holds as it stands, but for case
    CaselessSearcher asciiSearcher_;
    std::string scratch_;
};

} // namespace ado
