#pragma once

#include <exception>
#include <string>

namespace veldor::m {

// What went wrong, in the terms an M programmer expects. The numbers are part of the
// server's protocol (clients log them), so never renumber; add new kinds at the end.
//
//   number  name            meaning
//   1       <SYNTAX>        the line is not valid in the subset (nothing of it ran)
//   2       <COMMAND>       a command outside the subset (only SET, DO, KILL, QUIT exist)
//   3       <FUNCTION>      an intrinsic function outside the subset, or a wrong argument count
//   4       <UNDEFINED>     a local or global node without a value was read
//   5       <SUBSCRIPT>     an empty string used as a subscript
//   6       <NOROUTINE>     DO named a routine the server does not have
//   7       <DIVIDE>        division by zero
//   8       <MAXSTRING>     a string would exceed kMaxStringLength
//   9       <MAXNUMBER>     a number's magnitude reached 1E47
//   10      <NESTING>       expressions or routine calls nested deeper than allowed
//   11      <LINETOOLONG>   the line is longer than kMaxLineLength
//   12      <BUDGET>        the line needed more work or time than one request may take
//   13      <STORE>         a SET would take the variables past their memory limit
enum class ErrorKind
{
    Syntax = 1,
    Command,
    Function,
    Undefined,
    Subscript,
    NoRoutine,
    Divide,
    MaxString,
    MaxNumber,
    Nesting,
    LineTooLong,
    Budget,
    Store,
};

// Number and name of a kind, e.g. 4 and "<UNDEFINED>".
int errorNumber(ErrorKind kind);
const char* errorName(ErrorKind kind);

// An error raised while parsing or running a line. Any error aborts the rest of the line;
// what ran before it stays done, as in M.
struct MError final : std::exception
{
    MError(ErrorKind errorKind, int errorColumn, std::string errorDetail);

    ErrorKind kind;
    int number;       // errorNumber(kind)
    std::string name; // errorName(kind)
    int column;       // 1-based character position in the line; 0 when not tied to a place
    // The reference, routine or token concerned; may be empty. At most kMaxErrorDetail bytes:
    // a longer one is cut and ends in "...".
    std::string detail;

    // e.g. "<UNDEFINED> ^TOVI(1,3,1,1261208,999999) at column 8"
    std::string description() const;
    // description(); computed on each call because the fields are public and may change
    const char* what() const noexcept override;

private:
    mutable std::string what_;
};

} // namespace veldor::m
