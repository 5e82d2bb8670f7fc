#include "evaluator.h"

#include "bounds.h"
#include "merror.h"
#include "number.h"
#include "search.h"

#include <limits>

namespace veldor::m {

namespace {

Number numeric(const std::string& value, int column)
{
    const auto number = Number::fromString(value);
    checkNumberRange(number.has_value(), column);
    return *number;
}

std::string arithmetic(BinaryOperator op, const std::string& left, const std::string& right, int column)
{
    const Number a = numeric(left, column);
    const Number b = numeric(right, column);
    std::optional<Number> result;
    switch (op) {
    case BinaryOperator::Add:
        result = Number::add(a, b);
        break;
    case BinaryOperator::Subtract:
        result = Number::subtract(a, b);
        break;
    case BinaryOperator::Multiply:
        result = Number::multiply(a, b);
        break;
    case BinaryOperator::Divide:
        if (b.isZero()) {
            throw MError(ErrorKind::Divide, column, "");
        }
        result = Number::divide(a, b);
        break;
    case BinaryOperator::Concatenate:
        break;
    }
    checkNumberRange(result.has_value(), column);
    return result->toString();
}

// The text between the (n-1)th and nth delimiter. Scans each byte at most once, whatever the
// text and delimiter, and charges what it scanned.
std::string piece(const std::string& text, const std::string& delimiter, long long n, Budget& budget)
{
    if (delimiter.empty() || n < 1) {
        return "";
    }
    budget.charge(delimiter.size());
    const Finder finder(delimiter);
    std::size_t start = 0;
    for (long long i = 1; i < n; ++i) {
        const std::size_t found = finder.find(text, start);
        if (found == Finder::npos) {
            budget.charge(text.size() - start);
            return "";
        }
        budget.charge(found + delimiter.size() - start);
        start = found + delimiter.size();
    }
    const std::size_t end = finder.find(text, start);
    budget.charge((end == Finder::npos ? text.size() : end + delimiter.size()) - start);
    return text.substr(start, end == Finder::npos ? std::string::npos : end - start);
}

} // namespace

void checkSubscript(const std::string& value, const Reference& reference, const Subscripts& before,
                    int column)
{
    if (value.empty()) {
        Subscripts shown = before;
        shown.emplace_back();
        throw MError(ErrorKind::Subscript, column,
                     formatReference(reference.global, reference.name, shown, kMaxErrorDetail));
    }
}

std::string Evaluator::evaluate(const Expression& expression)
{
    std::string value = evaluate(expression.first);
    for (const BinaryStep& step : expression.steps) {
        const std::string right = evaluate(step.operand);
        if (step.op == BinaryOperator::Concatenate) {
            checkStringLength(value.size() + right.size(), step.column);
            value += right;
            budget_.charge(right.size());
        } else {
            // Reading a number looks at the digits of its operands.
            budget_.charge(value.size() + right.size());
            value = arithmetic(step.op, value, right, step.column);
        }
    }
    return value;
}

std::string Evaluator::evaluate(const Operand& operand)
{
    std::string value;
    if (const auto* literal = std::get_if<Literal>(&operand.value)) {
        value = literal->value;
    } else if (const auto* reference = std::get_if<Reference>(&operand.value)) {
        value = read(*reference);
    } else if (const auto* function = std::get_if<FunctionCall>(&operand.value)) {
        value = call(*function);
    } else {
        value = evaluate(*std::get<std::unique_ptr<Expression>>(operand.value));
    }
    budget_.charge(1 + value.size());
    for (auto it = operand.prefix.rbegin(); it != operand.prefix.rend(); ++it) {
        budget_.charge(1 + value.size());
        const Number number = numeric(value, it->column);
        value = (it->minus ? number.negated() : number).toString();
    }
    return value;
}

Subscripts Evaluator::subscriptsOf(const Reference& reference)
{
    Subscripts subscripts;
    subscripts.reserve(reference.subscripts.size());
    std::size_t keyBytes = 0;
    for (const Expression& expression : reference.subscripts) {
        std::string value = evaluate(expression);
        checkSubscript(value, reference, subscripts, expression.first.column);
        keyBytes += value.size();
        subscripts.push_back(std::move(value));
        checkKeyLength(keyBytes, expression.first.column, [&] {
            return formatReference(reference.global, reference.name, subscripts, kMaxErrorDetail);
        });
    }
    // Finding the node compares the key a few times over.
    budget_.charge(1 + 2 * keyBytes);
    return subscripts;
}

const std::string* Evaluator::lookup(const Reference& reference, const Subscripts& subscripts) const
{
    const Tree* tree = variablesOf(reference).find(reference.name);
    return tree ? tree->get(subscripts) : nullptr;
}

std::string Evaluator::read(const Reference& reference)
{
    const Subscripts subscripts = subscriptsOf(reference);
    const std::string* value = lookup(reference, subscripts);
    if (!value) {
        throw MError(ErrorKind::Undefined, reference.column,
                     formatReference(reference.global, reference.name, subscripts, kMaxErrorDetail));
    }
    return *value;
}

std::string Evaluator::call(const FunctionCall& call)
{
    switch (call.function) {
    case Function::Piece: {
        const std::string text = evaluate(call.arguments[0]);
        const std::string delimiter = evaluate(call.arguments[1]);
        long long n = 1;
        if (call.arguments.size() == 3) {
            // Any count beyond the number of pieces behaves alike, so clamping is exact.
            n = numeric(evaluate(call.arguments[2]), call.arguments[2].first.column)
                    .truncated(std::numeric_limits<int>::max());
        }
        return piece(text, delimiter, n, budget_);
    }
    case Function::Get: {
        const Subscripts subscripts = subscriptsOf(call.target);
        const std::string fallback = call.arguments.empty() ? std::string() : evaluate(call.arguments[0]);
        const std::string* value = lookup(call.target, subscripts);
        return value ? *value : fallback;
    }
    case Function::Data: {
        const Subscripts subscripts = subscriptsOf(call.target);
        const Tree* tree = variablesOf(call.target).find(call.target.name);
        return std::to_string(tree ? tree->data(subscripts) : 0);
    }
    }
    return "";
}

} // namespace veldor::m
