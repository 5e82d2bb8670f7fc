#include "platform/ado/ado_types.h"

#include <array>
#include <cmath>

namespace ado {

QString Decimal::toString(QChar decimalPoint) const
{
    // Digits of |mantissa| from the right; unsigned so that the most negative value has a magnitude too.
    quint64 magnitude = mantissa < 0 ? 0 - static_cast<quint64>(mantissa) : static_cast<quint64>(mantissa);
    std::array<char16_t, 48> buf{};
    auto pos = buf.size();
    int digits = 0;
    do {
        if (digits == scale && scale > 0)
            buf[--pos] = decimalPoint.unicode();
        buf[--pos] = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
        ++digits;
    } while (magnitude != 0 || digits <= scale);
    if (mantissa < 0)
        buf[--pos] = u'-';
    return QString(reinterpret_cast<const QChar*>(buf.data() + pos),
                   static_cast<qsizetype>(buf.size() - pos));
}

double Decimal::toDouble() const noexcept
{
    return static_cast<double>(mantissa) / std::pow(10.0, scale);
}

} // namespace ado
