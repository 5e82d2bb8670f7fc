#pragma once

// The M subset the server executes for its clients.
//
// A line is one or more commands separated by spaces. Commands (case-insensitive, full name
// or first letter): SET name=expr,..., DO ^routine,..., KILL [names], QUIT. After a command
// name comes exactly one space and the arguments; a command without arguments is followed by
// two spaces or the end of the line.
//
// Expressions: numbers (12, 1.5, .5, 1E3), strings ("" is one quote), local and global
// variables with subscripts, $P[IECE](s,d[,n]), $G[ET](v[,default]), $D[ATA](v), parentheses,
// unary + and -, and the binary operators _ + - * / evaluated strictly left to right.
//
// Anything else (post-conditionals, other commands or functions, comparisons, indirection)
// is an error, never skipped. The whole line is parsed before any of it runs; a runtime
// error stops the line and leaves earlier assignments in place, as in M.
//
// A line's work is charged to env.budget (when there is one), so a line that would run too
// long ends with <BUDGET>; a SET beyond the memory limit of the variables ends with <STORE>.

#include "bounds.h"
#include "budget.h"
#include "environment.h"
#include "merror.h"
#include "variables.h"

#include <string>
#include <string_view>
#include <utility>

namespace veldor::m {

// Runs one command line against env. Throws MError.
void execute(std::string_view line, Environment& env);

// Reads a global reference whose subscripts are literals, e.g. ^TOVI(1,3,1,1261208,123456)
// or ^X("a b",-2), as data files write them. Returns the name without "^" and the
// subscripts as M would compute them. Throws MError on anything else.
std::pair<std::string, Subscripts> parseGlobalReference(std::string_view text);

} // namespace veldor::m
