#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace testsupport {

// A veldor-server process on 127.0.0.1 and a free port, started with the options a test names
// (ServerProcess starts it with its defaults only), its own data file and log.
class ConfiguredServer final
{
public:
    ConfiguredServer() = default;
    ~ConfiguredServer();
    ConfiguredServer(const ConfiguredServer&) = delete;
    ConfiguredServer& operator=(const ConfiguredServer&) = delete;

    // Runs in the child between fork and exec, e.g. to lower a resource limit.
    void setChildSetup(std::function<void()> setup) { m_childSetup = std::move(setup); }

    bool start(const QByteArray& data, const QStringList& options = {});
    void stop(); // SIGTERM, waits for the end

    quint16 port() const { return m_port; }
    qint64 pid() const { return m_process ? m_process->processId() : 0; }
    QString connectString() const;
    const QString& error() const { return m_error; }
    QString dataPath() const;

    QString log() const;
    QStringList logLines() const;
    bool waitForLog(const QString& text, qsizetype count = 1, int timeoutMs = 5000) const;
    qsizetype logCount(const QString& text) const { return log().count(text); }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    std::function<void()> m_childSetup;
    quint16 m_port = 0;
    QString m_error;
};

// Runs veldor-server to its end with args; its exit code and what it wrote to standard error.
struct Finished
{
    int exitCode = -1;
    QString standardError;
    QString standardOutput;
};
Finished runServer(const QStringList& args);

} // namespace testsupport
