#pragma once

#include <cstddef>
#include <string>

namespace veldor::m {

// Every bound the interpreter enforces. Only the checks below compare against them, except
// that number rounding applies the precision and range itself.
inline constexpr std::size_t kMaxLineLength = 32767;   // bytes per command line
inline constexpr std::size_t kMaxStringLength = 32767; // bytes per value
inline constexpr std::size_t kMaxKeyLength = 32767;    // bytes of all subscripts of one reference
inline constexpr std::size_t kMaxErrorDetail = 240;    // bytes of an error's detail, "..." included
inline constexpr std::size_t kMaxNameLength = 31;      // characters of a variable or routine name
inline constexpr int kMaxNesting = 64;                 // parentheses, function calls, subscript lists
inline constexpr int kMaxRoutineNesting = 32;          // DO inside a routine run by DO
inline constexpr int kNumberDigits = 18;               // significant digits kept by arithmetic
inline constexpr int kMaxNumberExponent = 47;          // magnitudes must stay below 1E47
inline constexpr int kMinNumberExponent = -47;         // magnitudes below 1E-47 become 0

// Each check throws the matching MError at the given 1-based column.
void checkLineLength(std::size_t bytes, int column);
void checkStringLength(std::size_t bytes, int column);
void checkNameLength(std::size_t characters, int column);
void checkNesting(int depth, int column);
void checkRoutineNesting(int depth, int column);
// Arithmetic reports a result of 1E47 or more as "out of range" instead of throwing, so that
// the column is known here.
void checkNumberRange(bool inRange, int column);
// Subscripts of keyBytes bytes in all; reference tells which, and is only called to fail.
template <typename Describe> void checkKeyLength(std::size_t keyBytes, int column, Describe&& reference);
[[noreturn]] void keyTooLong(int column, const std::string& reference);

// text, or its first bytes ending in "..." so that the whole is at most limit bytes. Never cuts
// a UTF-8 character in two.
std::string cutText(std::string text, std::size_t limit);

template <typename Describe> void checkKeyLength(std::size_t keyBytes, int column, Describe&& reference)
{
    if (keyBytes > kMaxKeyLength) {
        keyTooLong(column, reference());
    }
}

} // namespace veldor::m
