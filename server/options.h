#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringList>

namespace veldor {

struct Options
{
    QString dataFile;
    QHostAddress bind{QHostAddress::LocalHost};
    quint16 port = 1973;
    int licences = 5;
    QString logFile; // empty: standard error
};

// Parses the command line (without the program name). Returns false with a message on bad input.
bool parseOptions(const QStringList& args, Options& options, QString& error);

inline constexpr auto Usage =
    "usage: veldor-server --data FILE [--bind ADDR] [--port N] [--licences N] [--log FILE]";

} // namespace veldor
