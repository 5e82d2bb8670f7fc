#pragma once

#include "ast.h"
#include "environment.h"

#include <cstdint>
#include <string>

namespace veldor::m {

// Computes values from the parsed form. Everything is a string; arithmetic reads operands
// numerically and yields canonical numbers. Throws MError (<UNDEFINED>, <SUBSCRIPT>,
// <DIVIDE>, <MAXSTRING>, <MAXNUMBER>, <BUDGET>). Charges the environment's budget for its work.
class Evaluator final
{
public:
    explicit Evaluator(Environment& env) : env_(env), budget_(env.budget ? *env.budget : unlimited_) {}

    // Work done outside the evaluator that belongs to the line, e.g. nodes a KILL removed.
    void charge(std::uint64_t units) { budget_.charge(units); }

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
    Budget unlimited_;
    Budget& budget_;
};

// A subscript value as written into a reference; empty is <SUBSCRIPT> at column.
void checkSubscript(const std::string& value, const Reference& reference, const Subscripts& before,
                    int column);

} // namespace veldor::m
