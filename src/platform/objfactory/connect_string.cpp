#include "platform/objfactory/connect_string.h"

#include <QRegularExpression>

using namespace Qt::Literals::StringLiterals;

namespace objfactory {

std::optional<ConnectTarget> parseConnectString(const QString& text)
{
    static const QRegularExpression pattern(
        u"^cn_iptcp:([^\\[\\]\\s]+)\\[([0-9]{1,5})\\]:([A-Za-z%][A-Za-z0-9]*)$"_s,
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const uint port = match.captured(2).toUInt();
    if (port == 0 || port > 65535)
        return std::nullopt;
    return ConnectTarget{match.captured(1), static_cast<quint16>(port), match.captured(3)};
}

} // namespace objfactory
