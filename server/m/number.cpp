#include "number.h"

#include "bounds.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace veldor::m {

// divide keeps the divisor, and ten times the remainder, in 64 bits.
static_assert(kNumberDigits <= 18);

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Digit strings of equal length, a >= b.
std::string subtractDigits(const std::string& a, const std::string& b)
{
    std::string out(a.size(), '0');
    int borrow = 0;
    for (std::size_t i = a.size(); i-- > 0;) {
        int d = (a[i] - '0') - (b[i] - '0') - borrow;
        borrow = d < 0 ? 1 : 0;
        out[i] = static_cast<char>('0' + d + 10 * borrow);
    }
    return out;
}

// Digit strings of equal length; the result is one digit longer.
std::string addDigits(const std::string& a, const std::string& b)
{
    std::string out(a.size() + 1, '0');
    int carry = 0;
    for (std::size_t i = a.size(); i-- > 0;) {
        int d = (a[i] - '0') + (b[i] - '0') + carry;
        carry = d / 10;
        out[i + 1] = static_cast<char>('0' + d % 10);
    }
    out[0] = static_cast<char>('0' + carry);
    return out;
}

} // namespace

std::optional<Number> Number::rounded(bool negative, std::string digits, long long exponent)
{
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) {
        return Number{};
    }
    digits.erase(0, first);

    const auto keep = static_cast<std::size_t>(kNumberDigits);
    if (digits.size() > keep) {
        const bool up = digits[keep] >= '5';
        exponent += static_cast<long long>(digits.size() - keep);
        digits.resize(keep);
        if (up) {
            std::size_t i = keep;
            while (i > 0 && digits[i - 1] == '9') {
                digits[--i] = '0';
            }
            if (i == 0) {
                digits.insert(digits.begin(), '1');
            } else {
                ++digits[i - 1];
            }
        }
    }
    const std::size_t last = digits.find_last_not_of('0');
    exponent += static_cast<long long>(digits.size() - last - 1);
    digits.resize(last + 1);

    const long long point = static_cast<long long>(digits.size()) + exponent;
    if (point > kMaxNumberExponent) {
        return std::nullopt;
    }
    if (point <= kMinNumberExponent) {
        return Number{};
    }
    Number n;
    n.negative_ = negative;
    n.digits_ = std::move(digits);
    n.exponent_ = static_cast<int>(exponent);
    return n;
}

std::optional<Number> Number::fromString(std::string_view text)
{
    std::size_t i = 0;
    bool negative = false;
    while (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = negative != (text[i] == '-');
        ++i;
    }
    std::string digits;
    long long exponent = 0;
    while (i < text.size() && isDigit(text[i])) {
        digits += text[i++];
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            digits += text[i++];
            --exponent;
        }
    }
    if (digits.empty()) {
        return Number{};
    }
    // "E" counts only when digits follow, so "1E" and "1EX" are 1.
    if (i < text.size() && text[i] == 'E') {
        std::size_t j = i + 1;
        bool minus = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            minus = text[j++] == '-';
        }
        // Far beyond any representable magnitude, so clamping changes no outcome.
        constexpr long long clamp = 1'000'000;
        long long e = 0;
        for (; j < text.size() && isDigit(text[j]); ++j) {
            e = std::min(clamp, e * 10 + (text[j] - '0'));
        }
        exponent += minus ? -e : e;
    }
    return rounded(negative, std::move(digits), exponent);
}

bool Number::isCanonical(std::string_view text)
{
    if (text.empty()) {
        return false;
    }
    const auto n = fromString(text);
    return n && n->toString() == text;
}

std::string Number::toString() const
{
    if (isZero()) {
        return "0";
    }
    std::string out = negative_ ? "-" : "";
    const long long point = pointPosition();
    if (exponent_ >= 0) {
        out += digits_;
        out.append(static_cast<std::size_t>(exponent_), '0');
    } else if (point > 0) {
        const auto p = static_cast<std::size_t>(point);
        out.append(digits_, 0, p);
        out += '.';
        out.append(digits_, p);
    } else {
        out += '.';
        out.append(static_cast<std::size_t>(-point), '0');
        out += digits_;
    }
    return out;
}

Number Number::negated() const
{
    Number n = *this;
    n.negative_ = !isZero() && !negative_;
    return n;
}

long long Number::truncated(long long limit) const
{
    const long long point = pointPosition();
    if (point <= 0) {
        return 0;
    }
    long long value = 0;
    if (point > kNumberDigits) {
        value = limit;
    } else {
        for (long long i = 0; i < point && value < limit; ++i) {
            const auto index = static_cast<std::size_t>(i);
            value = value * 10 + (index < digits_.size() ? digits_[index] - '0' : 0);
        }
        value = std::min(value, limit);
    }
    return negative_ ? -value : value;
}

std::optional<Number> Number::add(const Number& a, const Number& b)
{
    if (a.isZero()) {
        return b;
    }
    if (b.isZero()) {
        return a;
    }
    const int exponent = std::min(a.exponent_, b.exponent_);
    std::string x = a.digits_ + std::string(static_cast<std::size_t>(a.exponent_ - exponent), '0');
    std::string y = b.digits_ + std::string(static_cast<std::size_t>(b.exponent_ - exponent), '0');
    const std::size_t width = std::max(x.size(), y.size());
    x.insert(0, width - x.size(), '0');
    y.insert(0, width - y.size(), '0');
    if (a.negative_ == b.negative_) {
        return rounded(a.negative_, addDigits(x, y), exponent);
    }
    // Equal width, so string order is numeric order.
    if (x == y) {
        return Number{};
    }
    if (x > y) {
        return rounded(a.negative_, subtractDigits(x, y), exponent);
    }
    return rounded(b.negative_, subtractDigits(y, x), exponent);
}

std::optional<Number> Number::subtract(const Number& a, const Number& b)
{
    return add(a, b.negated());
}

std::optional<Number> Number::multiply(const Number& a, const Number& b)
{
    if (a.isZero() || b.isZero()) {
        return Number{};
    }
    std::vector<int> sum(a.digits_.size() + b.digits_.size(), 0);
    for (std::size_t i = 0; i < a.digits_.size(); ++i) {
        for (std::size_t j = 0; j < b.digits_.size(); ++j) {
            sum[i + j + 1] += (a.digits_[i] - '0') * (b.digits_[j] - '0');
        }
    }
    std::string digits(sum.size(), '0');
    int carry = 0;
    for (std::size_t i = sum.size(); i-- > 0;) {
        const int d = sum[i] + carry;
        carry = d / 10;
        digits[i] = static_cast<char>('0' + d % 10);
    }
    return rounded(a.negative_ != b.negative_, std::move(digits),
                   static_cast<long long>(a.exponent_) + b.exponent_);
}

std::optional<Number> Number::divide(const Number& a, const Number& b)
{
    if (a.isZero() || b.isZero()) {
        return Number{};
    }
    // The divisor has at most kNumberDigits (18) digits, so remainder * 10 + 9 fits in 64 bits.
    std::uint64_t divisor = 0;
    for (char c : b.digits_) {
        divisor = divisor * 10 + static_cast<std::uint64_t>(c - '0');
    }
    std::string quotient;
    std::uint64_t remainder = 0;
    long long exponent = static_cast<long long>(a.exponent_) - b.exponent_;
    int significant = 0;
    // One digit beyond the precision decides the rounding.
    for (std::size_t i = 0;; ++i) {
        const bool inDividend = i < a.digits_.size();
        if (!inDividend) {
            if (remainder == 0 || significant > kNumberDigits) {
                break;
            }
            --exponent;
        }
        remainder = remainder * 10 + static_cast<std::uint64_t>(inDividend ? a.digits_[i] - '0' : 0);
        const auto digit = remainder / divisor;
        remainder %= divisor;
        quotient += static_cast<char>('0' + digit);
        if (significant > 0 || digit != 0) {
            ++significant;
        }
    }
    return rounded(a.negative_ != b.negative_, std::move(quotient), exponent);
}

int Number::compare(const Number& a, const Number& b)
{
    const int signA = a.isZero() ? 0 : (a.negative_ ? -1 : 1);
    const int signB = b.isZero() ? 0 : (b.negative_ ? -1 : 1);
    if (signA != signB) {
        return signA < signB ? -1 : 1;
    }
    if (signA == 0) {
        return 0;
    }
    int magnitude = 0;
    if (a.pointPosition() != b.pointPosition()) {
        magnitude = a.pointPosition() < b.pointPosition() ? -1 : 1;
    } else {
        // Same position of the decimal point, so digit order is numeric order.
        const int c = a.digits_.compare(b.digits_);
        magnitude = (c > 0) - (c < 0);
    }
    return signA * magnitude;
}

} // namespace veldor::m
