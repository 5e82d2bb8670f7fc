#include "bounds.h"

#include "merror.h"

#include <string>

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

} // namespace veldor::m
