#include "options.h"

using namespace Qt::Literals::StringLiterals;

namespace veldor {

bool parseOptions(const QStringList& args, Options& options, QString& error)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& name = args.at(i);
        if (i + 1 >= args.size()) {
            error = name.startsWith(u"--"_s) ? u"%1 needs a value"_s.arg(name)
                                             : u"unexpected argument %1"_s.arg(name);
            return false;
        }
        const QString value = args.at(++i);
        bool ok = true;
        if (name == u"--data"_s) {
            options.dataFile = value;
        } else if (name == u"--bind"_s) {
            ok = options.bind.setAddress(value);
            if (!ok)
                error = u"--bind: not an IP address: %1"_s.arg(value);
        } else if (name == u"--port"_s) {
            const uint port = value.toUInt(&ok);
            ok = ok && port <= 65535;
            options.port = static_cast<quint16>(port);
            if (!ok)
                error = u"--port: not a port number (0 to 65535): %1"_s.arg(value);
        } else if (name == u"--licences"_s) {
            options.licences = value.toInt(&ok);
            ok = ok && options.licences >= 1 && options.licences <= 10000;
            if (!ok)
                error = u"--licences: not a number from 1 to 10000: %1"_s.arg(value);
        } else if (name == u"--log"_s) {
            options.logFile = value;
        } else {
            error = u"unknown option %1"_s.arg(name);
            return false;
        }
        if (!ok)
            return false;
    }
    if (options.dataFile.isEmpty()) {
        error = u"--data FILE is required"_s;
        return false;
    }
    return true;
}

} // namespace veldor
