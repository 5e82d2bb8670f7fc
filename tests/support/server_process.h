#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

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
    // Starts again on the same data, port and log (after kill or stop); false if the port is taken.
    bool restart();
    void stop(); // SIGTERM, waits for the end
    void kill(); // SIGKILL, as a crash would

    quint16 port() const { return m_port; }
    qint64 pid() const { return m_process ? m_process->processId() : 0; }
    QString connectString() const;
    QString log() const;
    // Waits until the log contains text (or the timeout passes).
    bool waitForLog(const QString& text, int timeoutMs = 5000) const;
    // Waits until text occurs at least count times in the log.
    bool waitForLogCount(const QString& text, qsizetype count, int timeoutMs = 5000) const;
    qsizetype logCount(const QString& text) const;
    const QString& error() const { return m_error; }
    QString dataPath() const;

    // The data every test starts from: user K17 "geheim" in company 1, department 3, person 4711.
    static QByteArray standardData();

private:
    bool launch(quint16 port);

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    int m_licences = 5;
    quint16 m_port = 0;
    QString m_error;
};

} // namespace testsupport
