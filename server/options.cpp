#include "options.h"

#include "platform/wire/wire.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <optional>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace veldor {
namespace {

std::optional<qint64> number(const QString& text, qint64 min, qint64 max)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < min || value > max)
        return std::nullopt;
    return value;
}

// A byte count, optionally with K, M or G (powers of 1024).
std::optional<qint64> size(const QString& text, qint64 min, qint64 max)
{
    QString digits = text;
    qint64 unit = 1;
    const QChar last = text.isEmpty() ? QChar() : text.back().toUpper();
    if (last == u'K' || last == u'M' || last == u'G') {
        unit = last == u'K' ? 1 << 10 : last == u'M' ? 1 << 20 : 1 << 30;
        digits.chop(1);
    }
    const std::optional<qint64> value = number(digits, 0, std::numeric_limits<qint64>::max() / unit);
    if (!value || *value * unit < min || *value * unit > max)
        return std::nullopt;
    return *value * unit;
}

QString sizeText(qint64 bytes)
{
    if (bytes > 0 && bytes % (1 << 20) == 0)
        return u"%1M"_s.arg(bytes >> 20);
    if (bytes > 0 && bytes % (1 << 10) == 0)
        return u"%1K"_s.arg(bytes >> 10);
    return QString::number(bytes);
}

template <typename T> qint64 toCount(const T& value)
{
    if constexpr (requires { value.count(); })
        return static_cast<qint64>(value.count());
    else
        return static_cast<qint64>(value);
}

struct Option
{
    const char* name;
    const char* argument;
    const char* text;
    // Takes the value; an empty result means it was good, anything else is what was wrong.
    std::function<QString(const QString& value, Options& options)> apply;
    std::function<QString(const Options& options)> shown; // the default, for --help
};

// An option taking a whole number (or a size) from min to max into one of the limits.
template <typename T, typename Convert>
Option numeric(const char* name, const char* argument, const char* text, T Limits::*member, qint64 min,
               qint64 max, Convert convert, bool bytes = false)
{
    auto apply = [=](const QString& value, Options& options) -> QString {
        const std::optional<qint64> n = bytes ? size(value, min, max) : number(value, min, max);
        if (!n)
            return u"not a %1 from %2 to %3: %4"_s.arg(bytes ? u"size"_s : u"number"_s,
                                                       bytes ? sizeText(min) : QString::number(min),
                                                       bytes ? sizeText(max) : QString::number(max), value);
        options.limits.*member = convert(*n);
        return {};
    };
    auto shown = [=](const Options& options) -> QString {
        const qint64 value = static_cast<qint64>(toCount(options.limits.*member));
        return bytes ? sizeText(value) : QString::number(value);
    };
    return {name, argument, text, apply, shown};
}

const std::vector<Option>& table()
{
    using std::chrono::milliseconds;
    using std::chrono::seconds;
    constexpr qint64 Day = 24 * 3600;
    static const std::vector<Option> options = {
        {"--data",
         "FILE",
         "the data file (required)",
         [](const QString& v, Options& o) {
             o.dataFile = v;
             return QString();
         },
         {}},
        {"--bind", "ADDR", "the address to listen on",
         [](const QString& v, Options& o) {
             return o.bind.setAddress(v) ? QString() : u"not an IP address: %1"_s.arg(v);
         },
         [](const Options& o) { return o.bind.toString(); }},
        {"--port", "N", "the port; 0 picks a free one",
         [](const QString& v, Options& o) {
             const auto n = number(v, 0, 65535);
             if (!n)
                 return u"not a port number (0 to 65535): %1"_s.arg(v);
             o.port = static_cast<quint16>(*n);
             return QString();
         },
         [](const Options& o) { return QString::number(o.port); }},
        {"--licences", "N", "sessions at the same time",
         [](const QString& v, Options& o) {
             const auto n = number(v, 1, 10000);
             if (!n)
                 return u"not a number from 1 to 10000: %1"_s.arg(v);
             o.licences = static_cast<int>(*n);
             return QString();
         },
         [](const Options& o) { return QString::number(o.licences); }},
        {"--log", "FILE", "where the log goes",
         [](const QString& v, Options& o) {
             o.logFile = v;
             return QString();
         },
         [](const Options&) { return u"standard error"_s; }},
        {"--max-connections", "N",
         "open connections, with a session or still before their hello; at least --licences",
         [](const QString& v, Options& o) {
             const auto n = number(v, 1, 100000);
             if (!n)
                 return u"not a number from 1 to 100000: %1"_s.arg(v);
             o.limits.maxConnections = static_cast<int>(*n);
             o.limits.maxConnectionsGiven = true;
             return QString();
         },
         [](const Options& o) { return u"%1, or licences + 16 if more"_s.arg(o.limits.maxConnections); }},
        numeric("--max-pending-per-address", "N",
                "connections from one client address still before their hello; more are refused",
                &Limits::maxPendingPerAddress, 1, 100000, [](qint64 n) { return static_cast<int>(n); }),
        numeric(
            "--max-hello-bytes", "BYTES", "what a connection may send before its hello is through",
            &Limits::maxHelloBytes, 64, 1 << 20, [](qint64 n) { return static_cast<qsizetype>(n); }, true),
        numeric(
            "--max-request-bytes", "BYTES",
            "size of one request; a larger one is refused and its connection closed",
            &Limits::maxRequestBytes, 1 << 10, wire::MaxFrameBytes,
            [](qint64 n) { return static_cast<qsizetype>(n); }, true),
        numeric("--max-request-fields", "N",
                "members and array elements of one request, counted before it is decoded; more are refused",
                &Limits::maxRequestFields, 8, 1 << 20, [](qint64 n) { return static_cast<qsizetype>(n); }),
        numeric("--hello-timeout", "SECONDS", "time a new connection has to say hello", &Limits::helloTimeout,
                1, Day, [](qint64 n) { return seconds(n); }),
        numeric("--idle-timeout", "SECONDS", "a session without a request for so long is closed",
                &Limits::idleTimeout, 1, 7 * Day, [](qint64 n) { return seconds(n); }),
        numeric("--keepalive", "SECONDS", "TCP keepalive: idle time before the first probe; 0 turns it off",
                &Limits::keepalive, 0, Day, [](qint64 n) { return seconds(n); }),
        numeric("--max-request-work", "UNITS",
                "work one request may do (about one unit per byte the interpreter handles)",
                &Limits::maxRequestWork, 1000, std::numeric_limits<qint64>::max(),
                [](qint64 n) { return static_cast<std::uint64_t>(n); }),
        numeric("--max-request-ms", "MS", "time one request may run, its waits for a turn not counted",
                &Limits::maxRequestTime, 1, 3600 * 1000, [](qint64 n) { return milliseconds(n); }),
        numeric("--slice-ms", "MS", "how long a request runs before waiting requests get a turn",
                &Limits::slice, 1, 1000, [](qint64 n) { return milliseconds(n); }),
        numeric(
            "--heavy-share", "PERCENT",
            "the time requests longer than a slice, or of 16K and more, get together while others are served",
            &Limits::heavyShare, 1, 100, [](qint64 n) { return static_cast<int>(n); }),
        numeric(
            "--max-globals", "BYTES", "memory of all stored data: the data file's objects and all globals",
            &Limits::maxGlobals, 4096, qint64(1) << 40, [](qint64 n) { return static_cast<std::size_t>(n); },
            true),
        numeric(
            "--max-locals", "BYTES", "memory of one session's local variables", &Limits::maxLocals, 4096,
            qint64(1) << 40, [](qint64 n) { return static_cast<std::size_t>(n); }, true),
        numeric(
            "--max-log-line", "BYTES", "length of one log line; longer ones are cut", &Limits::maxLogLine,
            256, 1 << 20, [](qint64 n) { return static_cast<qsizetype>(n); }, true),
        numeric("--max-error-text", "CHARS", "length of an error text sent to a client",
                &Limits::maxErrorText, 64, 1 << 16, [](qint64 n) { return static_cast<qsizetype>(n); }),
        numeric(
            "--max-data-bytes", "BYTES", "size of the data file", &Limits::maxDataBytes, 1024,
            qint64(1) << 40, [](qint64 n) { return n; }, true),
        numeric("--accept-pause-ms", "MS", "how long accepting pauses when the server is out of descriptors",
                &Limits::acceptPause, 1, 60000, [](qint64 n) { return milliseconds(n); }),
    };
    return options;
}

} // namespace

bool parseOptions(const QStringList& args, Options& options, QString& error)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& name = args.at(i);
        if (name == u"--help"_s || name == u"-h"_s) {
            options.help = true;
            return true;
        }
        if (name == u"--version"_s) {
            options.version = true;
            return true;
        }
        const auto& options_ = table();
        const auto option = std::find_if(options_.begin(), options_.end(),
                                         [&name](const Option& o) { return name == QLatin1String(o.name); });
        if (option == options_.end()) {
            error = name.startsWith(u"-"_s) ? u"unknown option %1"_s.arg(name)
                                            : u"unexpected argument %1"_s.arg(name);
            return false;
        }
        if (i + 1 >= args.size()) {
            error = u"%1 needs a value"_s.arg(name);
            return false;
        }
        const QString problem = option->apply(args.at(++i), options);
        if (!problem.isEmpty()) {
            error = name + u": "_s + problem;
            return false;
        }
    }
    if (options.dataFile.isEmpty()) {
        error = u"--data FILE is required"_s;
        return false;
    }
    Limits& limits = options.limits;
    if (!limits.maxConnectionsGiven)
        limits.maxConnections = std::max(limits.maxConnections, options.licences + 16);
    else if (limits.maxConnections < options.licences) {
        error = u"--max-connections: %1 is less than --licences %2"_s.arg(limits.maxConnections)
                    .arg(options.licences);
        return false;
    }
    return true;
}

QString usage()
{
    return u"usage: veldor-server --data FILE [--bind ADDR] [--port N] [--licences N] [--log FILE] "
           "[limits]; --help lists every option, --version says which server this is"_s;
}

QString help()
{
    const Options defaults;
    QString text = usage() + u"\n\n"_s;
    for (const Option& option : table()) {
        const QString head = u"  %1 %2"_s.arg(QLatin1String(option.name), QLatin1String(option.argument));
        text += head.leftJustified(30) + u' ' + QLatin1String(option.text);
        if (option.shown)
            text += u" (default "_s + option.shown(defaults) + u')';
        text += u'\n';
    }
    text += u"\nBYTES may end in K, M or G (powers of 1024).\n"_s;
    return text;
}

} // namespace veldor
