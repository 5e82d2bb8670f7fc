#pragma once

#include <QStringView>

#include <string>
#include <string_view>

namespace ado {

// Text as a German reader compares it when searching: case folded, umlauts as their two-letter spellings
// (ä ae, ö oe, ü ue, also when written with a combining diaeresis) and ß as ss. Appends to out, in UTF-8;
// bytes that are no valid UTF-8 pass unchanged.
void appendSearchFolded(std::string_view utf8, std::string& out);
std::string searchFolded(QStringView text);

// Whether folded text contains a folded needle, for searching many values with one needle: folds each value
// into a buffer it keeps, so a search over a column allocates nothing per row.
class FoldedMatcher final
{
public:
    explicit FoldedMatcher(QStringView needle);

    bool empty() const noexcept { return needle_.empty(); }
    bool matches(std::string_view utf8);

private:
    std::string needle_;
    std::string scratch_;
};

} // namespace ado
