#include "datafile.h"
#include "log.h"
#include "options.h"
#include "server.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    (void)!::write(signalPipe[1], &byte, 1);
}

// SIGINT/SIGTERM end the event loop, so sessions are closed and the log says so.
void quitOnSignals(QCoreApplication& app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] { app.quit(); });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// The message may hold names from the data file: escaped, a NUL cannot cut it short.
int fail(const QString& message, const QString& more = {})
{
    std::fprintf(stderr, "veldor-server: %s\n", qPrintable(veldor::escapeControls(message)));
    if (!more.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(more));
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    // The plain Unix event dispatcher costs less per request than the glib one.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    std::signal(SIGPIPE, SIG_IGN);

    veldor::Options options;
    QString error;
    if (!veldor::parseOptions(app.arguments().mid(1), options, error))
        return fail(error, veldor::usage());
    if (options.help) {
        std::fputs(qPrintable(veldor::help()), stdout);
        return 0;
    }
    if (options.version) {
        std::fputs("veldor-server " PLENVARO_VERSION "\n", stdout);
        return 0;
    }
    const veldor::Limits& limits = options.limits;

    veldor::Log log;
    log.setLineLimit(limits.maxLogLine);
    if (!options.logFile.isEmpty() && !log.openFile(options.logFile, error))
        return fail(error);
    veldor::Database db;
    db.globals().setLimit(limits.maxGlobals);
    if (!veldor::loadDataFile(options.dataFile, QDate::currentDate(), db, error, limits.maxDataBytes))
        return fail(error);

    quitOnSignals(app); // before the port is announced, so a stop right after start is clean
    veldor::Server server(db, log, options.licences, limits);
    if (!server.listen(options.bind, options.port, error))
        return fail(error);
    std::printf("listening on %s:%u\n", qPrintable(server.address().toString()), server.port());
    std::fflush(stdout);
    log.write(
        u"listening on %1:%2 with %3 licences, at most %4 connections"_s.arg(server.address().toString())
            .arg(server.port())
            .arg(options.licences)
            .arg(limits.maxConnections));

    const int rc = app.exec();
    log.write(u"stopped"_s);
    return rc;
}
