#pragma once

#include "server_log.h"

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace testsupport {

// A veldor-server process started for one test: 127.0.0.1, a free port, its own data file and log.
class ServerProcess final
{
public:
    ServerProcess();
    ~ServerProcess();

    // Starts the server on data (the JSON text of a data file). False with a reason on failure.
    bool start(const QByteArray& data, int licences = 5);
    // The same with further command-line options (they come last, so they win over the defaults).
    bool start(const QByteArray& data, const QStringList& options);
    // Runs in the child between fork and exec, e.g. to lower a resource limit.
    void setChildSetup(std::function<void()> setup) { m_childSetup = std::move(setup); }
    // Starts again on the same data, port and log (after kill or stop); false if the port is taken.
    bool restart();
    void stop(); // SIGTERM, waits for the end
    void kill(); // SIGKILL, as a crash would

    quint16 port() const { return m_port; }
    qint64 pid() const { return m_process ? m_process->processId() : 0; }
    QString connectString() const;
    QString log() const;
    QStringList logLines() const;
    // Waits until the log contains text (or the timeout passes).
    bool waitForLog(const QString& text, int timeoutMs = 5000) const;
    // Waits until text occurs at least count times in the log.
    bool waitForLogCount(const QString& text, qsizetype count, int timeoutMs = 5000) const;
    qsizetype logCount(const QString& text) const;
    const QString& error() const { return m_error; }
    QString dataPath() const;
    QString logPath() const;

    // The data every test starts from: user K17 "geheim" in company 1, department 3, person 4711.
    static QByteArray standardData();

private:
    bool launch(quint16 port);
    ServerLog serverLog() const;

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    int m_licences = 5;
    QStringList m_options;
    std::function<void()> m_childSetup;
    quint16 m_port = 0;
    QString m_error;
};

// Runs veldor-server to its end with args: its exit code and what it wrote.
struct Finished
{
    int exitCode = -1;
    QString standardError;
    QString standardOutput;
};
Finished runServer(const QStringList& args);

} // namespace testsupport
