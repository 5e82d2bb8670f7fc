#include "server_process.h"
#include "standard_data.h"

#include <QDeadlineTimer>
#include <QFile>

using namespace Qt::Literals::StringLiterals;

namespace testsupport {

ServerProcess::ServerProcess() = default;

ServerProcess::~ServerProcess()
{
    stop();
}

QString ServerProcess::dataPath() const
{
    return m_dir.filePath(u"data.json"_s);
}

bool ServerProcess::start(const QByteArray& data, int licences)
{
    m_licences = licences;
    QFile file(dataPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) {
        m_error = u"cannot write the data file"_s;
        return false;
    }
    file.close();
    return launch(0);
}

bool ServerProcess::start(const QByteArray& data, const QStringList& options)
{
    m_options = options;
    return start(data);
}

bool ServerProcess::restart()
{
    return launch(m_port);
}

bool ServerProcess::launch(quint16 port)
{
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (m_childSetup)
        m_process->setChildProcessModifier(m_childSetup);
    m_process->start(QString::fromUtf8(VELDOR_SERVER_PATH),
                     QStringList{u"--data"_s, dataPath(), u"--port"_s, QString::number(port), u"--licences"_s,
                                 QString::number(m_licences), u"--log"_s, logPath()} +
                         m_options);
    if (!m_process->waitForStarted(5000)) {
        m_error = u"veldor-server did not start: "_s + m_process->errorString();
        return false;
    }
    QByteArray line;
    const QDeadlineTimer deadline(10000);
    while (!line.contains('\n') && !deadline.hasExpired() && m_process->state() == QProcess::Running) {
        m_process->waitForReadyRead(100);
        line += m_process->readAllStandardOutput();
    }
    const QString first = QString::fromUtf8(line).section(u'\n', 0, 0);
    if (!first.startsWith(u"listening on "_s)) {
        m_error = u"veldor-server said: "_s + first;
        return false;
    }
    m_port = static_cast<quint16>(first.section(u':', -1).toUInt());
    return true;
}

void ServerProcess::stop()
{
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return;
    m_process->terminate();
    if (!m_process->waitForFinished(5000))
        kill();
}

void ServerProcess::kill()
{
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return;
    m_process->kill();
    m_process->waitForFinished(5000);
}

QString ServerProcess::connectString() const
{
    return u"cn_iptcp:127.0.0.1[%1]:VELDOR"_s.arg(m_port);
}

QString ServerProcess::log() const
{
    return serverLog().text();
}

bool ServerProcess::waitForLog(const QString& text, int timeoutMs) const
{
    return waitForLogCount(text, 1, timeoutMs);
}

bool ServerProcess::waitForLogCount(const QString& text, qsizetype count, int timeoutMs) const
{
    return serverLog().waitForCount(text, count, timeoutMs);
}

qsizetype ServerProcess::logCount(const QString& text) const
{
    return serverLog().count(text);
}

QString ServerProcess::logPath() const
{
    return m_dir.filePath(u"server.log"_s);
}

ServerLog ServerProcess::serverLog() const
{
    return ServerLog(logPath());
}

QByteArray ServerProcess::standardData()
{
    return QByteArray(kStandardData);
}

QStringList ServerProcess::logLines() const
{
    return serverLog().lines();
}

Finished runServer(const QStringList& args)
{
    QProcess process;
    process.start(QString::fromUtf8(VELDOR_SERVER_PATH), args);
    Finished finished;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(5000);
        finished.standardError = u"did not end"_s;
        return finished;
    }
    finished.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    finished.standardError = QString::fromUtf8(process.readAllStandardError());
    finished.standardOutput = QString::fromUtf8(process.readAllStandardOutput());
    return finished;
}

} // namespace testsupport
