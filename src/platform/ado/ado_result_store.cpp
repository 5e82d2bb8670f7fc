#include "platform/ado/ado_result_store.h"

#include "platform/ado/ado_error.h"

#include <QDate>
#include <QTime>

#include <charconv>
#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace ado::detail {
namespace {

constexpr qint64 kUnixEpochJulianDay = 2440588;
constexpr qint64 kMsecsPerDay = 86400000;
constexpr int kMaxDecimalScale = 18;
// Beyond this many decimals a double's text shows rounding noise, not data.
constexpr int kMaxDoubleDecimals = 15;

bool isDigit(char c) noexcept
{
    return c >= '0' && c <= '9';
}

qint64 pow10(int exponent) noexcept
{
    qint64 result = 1;
    while (exponent-- > 0)
        result *= 10;
    return result;
}

bool fixedDigits(std::string_view text, std::size_t pos, std::size_t count, int& value) noexcept
{
    value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (!isDigit(text[i]))
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

void appendDigits(PodBuffer<char>& out, qint64 value, int width = 0)
{
    char buf[24];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    const auto length = static_cast<int>(end - buf);
    for (int i = length; i < width; ++i)
        out.push_back('0');
    out.append(buf, static_cast<std::size_t>(length));
}

} // namespace

bool parseInteger(std::string_view text, qint64& value) noexcept
{
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-')
            return false;
    }
    if (text.empty() || text.front() == '+')
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

bool parseDecimal(std::string_view text, qint64& mantissa, int& fractionDigits) noexcept
{
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+'))
        negative = text[pos++] == '-';
    // Accumulated negatively so that the most negative mantissa fits as well.
    qint64 value = 0;
    int digits = 0;
    int fraction = -1;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c == '.' && fraction < 0) {
            fraction = 0;
            continue;
        }
        if (!isDigit(c))
            return false;
        if (value < (std::numeric_limits<qint64>::min() + (c - '0')) / 10)
            return false;
        value = value * 10 - (c - '0');
        ++digits;
        if (fraction >= 0 && ++fraction > kMaxDecimalScale)
            return false;
    }
    if (digits == 0)
        return false;
    if (!negative && value == std::numeric_limits<qint64>::min())
        return false;
    mantissa = negative ? value : -value;
    fractionDigits = fraction < 0 ? 0 : fraction;
    return true;
}

bool parseDouble(std::string_view text, double& value, int& fractionDigits) noexcept
{
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-')
            return false;
    }
    if (text.empty() || text.front() == '+')
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return false;
    int fraction = 0;
    int exponent = 0;
    const std::size_t point = text.find('.');
    const std::size_t e = text.find_first_of("eE");
    if (point != std::string_view::npos)
        fraction = static_cast<int>((e == std::string_view::npos ? text.size() : e) - point - 1);
    if (e != std::string_view::npos) {
        std::string_view exp = text.substr(e + 1);
        if (!exp.empty() && exp.front() == '+')
            exp.remove_prefix(1);
        std::from_chars(exp.data(), exp.data() + exp.size(), exponent);
    }
    fractionDigits = qBound(0, fraction - exponent, kMaxDoubleDecimals);
    return true;
}

bool parseDate(std::string_view text, qint32& days) noexcept
{
    int y = 0;
    int m = 0;
    int d = 0;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !fixedDigits(text, 0, 4, y) ||
        !fixedDigits(text, 5, 2, m) || !fixedDigits(text, 8, 2, d) || !QDate::isValid(y, m, d))
        return false;
    days = static_cast<qint32>(QDate(y, m, d).toJulianDay() - kUnixEpochJulianDay);
    return true;
}

bool parseDateTime(std::string_view text, qint64& msecs) noexcept
{
    qint32 days = 0;
    int h = 0;
    int mi = 0;
    int s = 0;
    if (text.size() < 19 || !parseDate(text.substr(0, 10), days) || (text[10] != ' ' && text[10] != 'T') ||
        text[13] != ':' || text[16] != ':' || !fixedDigits(text, 11, 2, h) || !fixedDigits(text, 14, 2, mi) ||
        !fixedDigits(text, 17, 2, s) || !QTime::isValid(h, mi, s))
        return false;
    int ms = 0;
    if (text.size() > 19) {
        if (text[19] != '.' || text.size() == 20)
            return false;
        for (std::size_t i = 20; i < text.size(); ++i) {
            if (!isDigit(text[i]))
                return false;
            // Milliseconds are kept; finer digits must be zero or the value would change.
            if (i < 23)
                ms = ms * 10 + (text[i] - '0');
            else if (text[i] != '0')
                return false;
        }
        for (std::size_t i = text.size(); i < 23; ++i)
            ms *= 10;
    }
    msecs = days * kMsecsPerDay + ((h * 60 + mi) * 60 + s) * 1000LL + ms;
    return true;
}

ColumnStore::ColumnStore(FieldType kind, int scale)
    : kind_(kind), scale_(kind == FieldType::Decimal ? scale : 0)
{
    if (kind_ == FieldType::Text)
        offsets_.push_back(0);
}

void ColumnStore::setNullBit()
{
    const std::size_t words = rows_ / 64 + 1;
    if (nulls_.size() < words)
        nulls_.resize(words, 0);
    nulls_[rows_ / 64] |= quint64{1} << (rows_ % 64);
}

void ColumnStore::appendNull()
{
    setNullBit();
    switch (kind_) {
    case FieldType::Text:
        pushTextEnd();
        break;
    case FieldType::Integer:
    case FieldType::Decimal:
    case FieldType::DateTime:
        ints_.push_back(0);
        break;
    case FieldType::Double:
        reals_.push_back(0);
        break;
    case FieldType::Date:
        days_.push_back(0);
        break;
    }
    ++rows_;
}

void ColumnStore::append(std::string_view utf8)
{
    if (kind_ == FieldType::Text) {
        appendText(utf8);
    } else if (!appendTyped(utf8)) {
        demoteToText();
        appendText(utf8);
    }
    ++rows_;
    if (!nulls_.empty() && nulls_.size() * 64 < rows_)
        nulls_.push_back(0);
}

bool ColumnStore::appendTyped(std::string_view utf8)
{
    switch (kind_) {
    case FieldType::Integer: {
        qint64 value = 0;
        if (!parseInteger(utf8, value))
            return false;
        ints_.push_back(value);
        return true;
    }
    case FieldType::Decimal: {
        qint64 mantissa = 0;
        int fraction = 0;
        return parseDecimal(utf8, mantissa, fraction) && appendDecimal(mantissa, fraction);
    }
    case FieldType::Double: {
        double value = 0;
        int fraction = 0;
        if (!parseDouble(utf8, value, fraction))
            return false;
        reals_.push_back(value);
        scale_ = qMax(scale_, fraction);
        return true;
    }
    case FieldType::Date: {
        qint32 days = 0;
        if (!parseDate(utf8, days))
            return false;
        days_.push_back(days);
        return true;
    }
    case FieldType::DateTime: {
        qint64 msecs = 0;
        if (!parseDateTime(utf8, msecs))
            return false;
        ints_.push_back(msecs);
        return true;
    }
    case FieldType::Text:
        break;
    }
    return false;
}

bool ColumnStore::appendDecimal(qint64 mantissa, int fractionDigits)
{
    // One scale per column, the largest any value needs, so the column shows its decimals uniformly.
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    if (fractionDigits > scale_) {
        const qint64 factor = pow10(fractionDigits - scale_);
        for (std::size_t i = 0; i < ints_.size(); ++i) {
            if (ints_[i] > max / factor || ints_[i] < -max / factor)
                return false;
        }
        for (std::size_t i = 0; i < ints_.size(); ++i)
            ints_[i] *= factor;
        scale_ = fractionDigits;
    } else if (fractionDigits < scale_) {
        const qint64 factor = pow10(scale_ - fractionDigits);
        if (mantissa > max / factor || mantissa < -max / factor)
            return false;
        mantissa *= factor;
    }
    ints_.push_back(mantissa);
    return true;
}

void ColumnStore::pushTextEnd()
{
    offsets_.push_back(static_cast<quint32>(arena_.size()));
}

void ColumnStore::appendText(std::string_view utf8)
{
    if (utf8.size() > std::numeric_limits<quint32>::max() - arena_.size())
        throw Error(adErrOutOfMemory,
                    u"The query result is too large: the text of one field exceeds 4 GB."_s);
    arena_.append(utf8.data(), utf8.size());
    pushTextEnd();
}

void ColumnStore::demoteToText()
{
    PodBuffer<char> arena;
    PodBuffer<quint32> offsets;
    offsets.push_back(0);
    for (std::size_t row = 0; row < rows_; ++row) {
        if (!isNull(row)) {
            switch (kind_) {
            case FieldType::Integer:
                appendDigits(arena, ints_[row]);
                break;
            case FieldType::Decimal: {
                const QByteArray text = Decimal{ints_[row], scale_}.toString().toUtf8();
                arena.append(text.constData(), static_cast<std::size_t>(text.size()));
                break;
            }
            case FieldType::Double: {
                char buf[32];
                const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, reals_[row]);
                arena.append(buf, static_cast<std::size_t>(end - buf));
                break;
            }
            case FieldType::Date:
            case FieldType::DateTime: {
                const qint64 msecs = kind_ == FieldType::Date ? days_[row] * kMsecsPerDay : ints_[row];
                const qint64 dayNumber = msecs >= 0 ? msecs / kMsecsPerDay : (msecs + 1) / kMsecsPerDay - 1;
                const QDate date = QDate::fromJulianDay(dayNumber + kUnixEpochJulianDay);
                appendDigits(arena, date.year(), 4);
                arena.push_back('-');
                appendDigits(arena, date.month(), 2);
                arena.push_back('-');
                appendDigits(arena, date.day(), 2);
                if (kind_ == FieldType::DateTime) {
                    const qint64 ms = msecs - dayNumber * kMsecsPerDay;
                    arena.push_back(' ');
                    appendDigits(arena, ms / 3600000, 2);
                    arena.push_back(':');
                    appendDigits(arena, ms / 60000 % 60, 2);
                    arena.push_back(':');
                    appendDigits(arena, ms / 1000 % 60, 2);
                    if (ms % 1000 != 0) {
                        arena.push_back('.');
                        appendDigits(arena, ms % 1000, 3);
                    }
                }
                break;
            }
            case FieldType::Text:
                break;
            }
        }
        offsets.push_back(static_cast<quint32>(arena.size()));
    }
    arena_ = std::move(arena);
    offsets_ = std::move(offsets);
    ints_.release();
    reals_.release();
    days_.release();
    kind_ = FieldType::Text;
    scale_ = 0;
}

} // namespace ado::detail
