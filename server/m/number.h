#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace veldor::m {

// A number as M computes with it: exact decimal rounded to kNumberDigits significant digits
// (half away from zero). Decimal rather than double so that prices behave: 1234.56-1234.55
// must be .01, not .00999999999999091.
class Number final
{
public:
    Number() = default; // zero

    // M's numeric interpretation of a string: the longest numeric prefix after any signs
    // ("12AB" is 12, "AB" and " 1" are 0, "--5" is 5, "1E3" is 1000). std::nullopt when the
    // magnitude is 1E47 or more.
    static std::optional<Number> fromString(std::string_view text);
    // Whether text is exactly the canonical form of some number, which is what makes a
    // subscript numeric.
    static bool isCanonical(std::string_view text);

    // Canonical form: "0", "12", "-3", ".5", "-.5", "1.25"; never an exponent.
    std::string toString() const;

    bool isZero() const { return digits_.empty(); }
    Number negated() const;
    // The integer part (truncated towards zero), clamped to [-limit, limit].
    long long truncated(long long limit) const;

    // std::nullopt when the magnitude of the result is 1E47 or more. divide needs b nonzero.
    static std::optional<Number> add(const Number& a, const Number& b);
    static std::optional<Number> subtract(const Number& a, const Number& b);
    static std::optional<Number> multiply(const Number& a, const Number& b);
    static std::optional<Number> divide(const Number& a, const Number& b);

    // Numeric order: negative, zero or positive like strcmp.
    static int compare(const Number& a, const Number& b);

private:
    // Rounds exact digits (most significant first, leading zeros allowed) times 10^exponent.
    static std::optional<Number> rounded(bool negative, std::string digits, long long exponent);
    long long pointPosition() const { return static_cast<long long>(digits_.size()) + exponent_; }

    bool negative_ = false;
    std::string digits_; // significant digits without leading or trailing zeros; empty for zero
    int exponent_ = 0;   // value is digits_ * 10^exponent_
};

} // namespace veldor::m
