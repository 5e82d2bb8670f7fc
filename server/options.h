#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>

namespace veldor {

// What one client, or all of them together, may take of the server. Each has its option.
struct Limits
{
    int maxConnections = 64; // open connections, with or without a session
    bool maxConnectionsGiven = false;
    int maxPendingPerAddress = 32;         // connections from one client address still before their hello
    qsizetype maxHelloBytes = 4096;        // what a connection may send before its hello is through
    qsizetype maxRequestBytes = 256 << 10; // of one request; the longest command line fits escaped
    qsizetype maxRequestFields = 64;       // members and array elements of one request
    std::chrono::seconds helloTimeout{10};
    std::chrono::seconds idleTimeout{600};        // a session without a request for so long is closed
    std::chrono::seconds keepalive{60};           // TCP keepalive idle time; 0: off
    std::uint64_t maxRequestWork = 1'000'000'000; // interpreter work units per request
    std::chrono::milliseconds maxRequestTime{1000};
    std::chrono::milliseconds slice{5}; // a request's turn before others get theirs
    int heavyShare = 25;                // percent of the time long requests get while others are served
    std::size_t maxGlobals = 64 << 20;  // bytes of all globals together
    std::size_t maxLocals = 8 << 20;    // bytes of one session's local variables
    qsizetype maxLogLine = 4096;        // bytes
    qsizetype maxErrorText = 1024;      // characters of an error text sent to a client
    qint64 maxDataBytes = 64 << 20;     // size of the data file
    std::chrono::milliseconds acceptPause{250};
};

struct Options
{
    QString dataFile;
    QHostAddress bind{QHostAddress::LocalHost};
    quint16 port = 1973;
    int licences = 5;
    QString logFile; // empty: standard error
    Limits limits;
    bool help = false;
    bool version = false;
};

// Parses the command line (without the program name). Returns false with a message on bad input.
bool parseOptions(const QStringList& args, Options& options, QString& error);

// One line of usage, and the text --help prints.
QString usage();
QString help();

} // namespace veldor
