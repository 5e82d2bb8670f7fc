#include "bounds.h"

#include "merror.h"

#include <string>
#include <string_view>

namespace veldor::m {

void checkLineLength(std::size_t bytes, int column)
{
    if (bytes > kMaxLineLength) {
        throw MError(ErrorKind::LineTooLong, column,
                     std::to_string(bytes) + " bytes, at most " + std::to_string(kMaxLineLength));
    }
}

void checkStringLength(std::size_t bytes, int column)
{
    if (bytes > kMaxStringLength) {
        throw MError(ErrorKind::MaxString, column,
                     std::to_string(bytes) + " bytes, at most " + std::to_string(kMaxStringLength));
    }
}

void checkNameLength(std::size_t characters, int column)
{
    if (characters > kMaxNameLength) {
        throw MError(ErrorKind::Syntax, column,
                     "name longer than " + std::to_string(kMaxNameLength) + " characters");
    }
}

void checkNesting(int depth, int column)
{
    if (depth > kMaxNesting) {
        throw MError(ErrorKind::Nesting, column,
                     "expression nested deeper than " + std::to_string(kMaxNesting));
    }
}

void checkRoutineNesting(int depth, int column)
{
    if (depth > kMaxRoutineNesting) {
        throw MError(ErrorKind::Nesting, column,
                     "routines nested deeper than " + std::to_string(kMaxRoutineNesting));
    }
}

void checkNumberRange(bool inRange, int column)
{
    if (!inRange) {
        throw MError(ErrorKind::MaxNumber, column,
                     "magnitude 1E" + std::to_string(kMaxNumberExponent) + " or more");
    }
}

void keyTooLong(int column, const std::string& reference)
{
    throw MError(ErrorKind::Subscript, column,
                 "key longer than " + std::to_string(kMaxKeyLength) + " bytes: " + reference);
}

std::string cutText(std::string text, std::size_t limit)
{
    static constexpr std::string_view ellipsis = "...";
    if (text.size() <= limit) {
        return text;
    }
    std::size_t keep = limit > ellipsis.size() ? limit - ellipsis.size() : 0;
    while (keep > 0 && (static_cast<unsigned char>(text[keep]) & 0xC0) == 0x80) {
        --keep;
    }
    text.resize(keep);
    text += ellipsis;
    return text;
}

} // namespace veldor::m
