#include "configured_server.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

using namespace Qt::Literals::StringLiterals;

namespace testsupport {

ConfiguredServer::~ConfiguredServer()
{
    stop();
}

QString ConfiguredServer::dataPath() const
{
    return m_dir.filePath(u"data.json"_s);
}

bool ConfiguredServer::start(const QByteArray& data, const QStringList& options)
{
    QFile file(dataPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) {
        m_error = u"cannot write the data file"_s;
        return false;
    }
    file.close();
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (m_childSetup)
        m_process->setChildProcessModifier(m_childSetup);
    m_process->start(QString::fromUtf8(VELDOR_SERVER_PATH),
                     QStringList{u"--data"_s, dataPath(), u"--port"_s, u"0"_s, u"--log"_s,
                                 m_dir.filePath(u"server.log"_s)} +
                         options);
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

void ConfiguredServer::stop()
{
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return;
    m_process->terminate();
    if (!m_process->waitForFinished(5000)) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
}

QString ConfiguredServer::connectString() const
{
    return u"cn_iptcp:127.0.0.1[%1]:VELDOR"_s.arg(m_port);
}

QString ConfiguredServer::log() const
{
    QFile file(m_dir.filePath(u"server.log"_s));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QStringList ConfiguredServer::logLines() const
{
    return log().split(u'\n', Qt::SkipEmptyParts);
}

bool ConfiguredServer::waitForLog(const QString& text, qsizetype count, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    while (log().count(text) < count) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(10);
    }
    return true;
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
