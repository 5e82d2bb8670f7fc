#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace veldor::m {

// Finds one delimiter in texts in time linear in the text, however the two repeat themselves
// (Knuth-Morris-Pratt): a plain search costs text length times delimiter length on texts like
// "aaa...a" searched for "aaa...ab", which one line can ask for thousands of times.
class Finder final
{
public:
    explicit Finder(std::string needle);

    // Offset of the first occurrence starting at or after from, or npos.
    std::size_t find(std::string_view text, std::size_t from) const;
    const std::string& needle() const { return needle_; }

    static constexpr std::size_t npos = std::string_view::npos;

private:
    std::string needle_;
    // failure_[i]: length of the longest proper prefix of needle_[0..i] that is also its suffix
    std::vector<std::size_t> failure_;
};

} // namespace veldor::m
