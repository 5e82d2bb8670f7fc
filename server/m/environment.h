#pragma once

#include "budget.h"
#include "variables.h"

#include <functional>
#include <string>

namespace veldor::m {

// What a command line runs against.
struct Environment final
{
    Variables& locals;  // the session's local variables
    Variables& globals; // the server-wide globals, names without "^"
    // Runs "DO ^name"; gets the name without "^" (e.g. "%XTT"). Throws MError <NOROUTINE>
    // for an unknown routine. An MError it throws with column 0 is given the column of the
    // DO argument (and "^name" as detail when it has none). Empty means no routine exists.
    std::function<void(const std::string& routine, Environment& env)> runRoutine;
    // How many DOs are active; kept by the interpreter so that a routine which runs lines
    // that DO itself ends with <NESTING> instead of exhausting the stack.
    int routineDepth = 0;
    // What the line may spend; none means no limit.
    Budget* budget = nullptr;
};

} // namespace veldor::m
