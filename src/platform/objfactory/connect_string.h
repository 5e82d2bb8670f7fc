#pragma once

#include <QString>

#include <optional>

namespace objfactory {

struct ConnectTarget
{
    QString host;
    quint16 port = 0;
    QString nameSpace;
};

// "cn_iptcp:" + address + "[" + port + "]:" + namespace; nothing for any other text.
std::optional<ConnectTarget> parseConnectString(const QString& text);

} // namespace objfactory
