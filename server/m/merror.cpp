#include "merror.h"

#include "bounds.h"

#include <utility>

namespace veldor::m {

int errorNumber(ErrorKind kind)
{
    return static_cast<int>(kind);
}

const char* errorName(ErrorKind kind)
{
    switch (kind) {
    case ErrorKind::Syntax:
        return "<SYNTAX>";
    case ErrorKind::Command:
        return "<COMMAND>";
    case ErrorKind::Function:
        return "<FUNCTION>";
    case ErrorKind::Undefined:
        return "<UNDEFINED>";
    case ErrorKind::Subscript:
        return "<SUBSCRIPT>";
    case ErrorKind::NoRoutine:
        return "<NOROUTINE>";
    case ErrorKind::Divide:
        return "<DIVIDE>";
    case ErrorKind::MaxString:
        return "<MAXSTRING>";
    case ErrorKind::MaxNumber:
        return "<MAXNUMBER>";
    case ErrorKind::Nesting:
        return "<NESTING>";
    case ErrorKind::LineTooLong:
        return "<LINETOOLONG>";
    case ErrorKind::Budget:
        return "<BUDGET>";
    case ErrorKind::Store:
        return "<STORE>";
    }
    return "<ERROR>";
}

MError::MError(ErrorKind errorKind, int errorColumn, std::string errorDetail)
    : kind(errorKind), number(errorNumber(errorKind)), name(errorName(errorKind)), column(errorColumn),
      detail(cutText(std::move(errorDetail), kMaxErrorDetail))
{}

std::string MError::description() const
{
    std::string text = name;
    if (!detail.empty()) {
        text += ' ';
        text += detail;
    }
    if (column > 0) {
        text += " at column ";
        text += std::to_string(column);
    }
    return text;
}

const char* MError::what() const noexcept
{
    try {
        what_ = description();
        return what_.c_str();
    } catch (...) {
        return name.c_str();
    }
}

} // namespace veldor::m
