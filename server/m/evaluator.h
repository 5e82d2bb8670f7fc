#pragma once

#include "ast.h"
#include "environment.h"

#include <string>

namespace veldor::m {

// Computes values from the parsed form. Everything is a string; arithmetic reads operands
// numerically and yields canonical numbers. Throws MError (<UNDEFINED>, <SUBSCRIPT>,
// <DIVIDE>, <MAXSTRING>, <MAXNUMBER>).
class Evaluator final
{
public:
    explicit Evaluator(Environment& env) : env_(env) {}

    std::string evaluate(const Expression& expression);
    // The reference's subscripts, left to right; an empty one is <SUBSCRIPT>.
    Subscripts subscriptsOf(const Reference& reference);
    Variables& variablesOf(const Reference& reference) const
    {
        return reference.global ? env_.globals : env_.locals;
    }

private:
    std::string evaluate(const Operand& operand);
    std::string read(const Reference& reference);
    std::string call(const FunctionCall& call);
    const std::string* lookup(const Reference& reference, const Subscripts& subscripts) const;

    Environment& env_;
};

// A subscript value as written into a reference; empty is <SUBSCRIPT> at column.
void checkSubscript(const std::string& value, const Reference& reference, const Subscripts& before,
                    int column);

} // namespace veldor::m
