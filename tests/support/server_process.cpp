#include "server_process.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

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
                                 QString::number(m_licences), u"--log"_s, m_dir.filePath(u"server.log"_s)} +
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
    QFile file(m_dir.filePath(u"server.log"_s));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

bool ServerProcess::waitForLog(const QString& text, int timeoutMs) const
{
    return waitForLogCount(text, 1, timeoutMs);
}

bool ServerProcess::waitForLogCount(const QString& text, qsizetype count, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    while (log().count(text) < count) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(10);
    }
    return true;
}

qsizetype ServerProcess::logCount(const QString& text) const
{
    return log().count(text);
}

QByteArray ServerProcess::standardData()
{
    return R"json({
  "objects": {
    "VD.ParPersEdv": {
      "1||K17": {"Passwort": "geheim", "AKTIV": "J", "PNAME": "Maier", "ABTNR": "3", "DW": "12",
                 "BERGRP": "A", "PNR": "4711"},
      "1||K18": {"Passwort": "geheim", "AKTIV": "N", "PNAME": "Huber", "ABTNR": "3", "DW": "13",
                 "BERGRP": "B", "PNR": "4712"},
      "1||K19": {"Passwort": "geheim", "AKTIV": "J", "PNAME": "Schulz", "ABTNR": "9", "DW": "14",
                 "BERGRP": "C", "PNR": "4713"},
      "1||K22": {"Passwort": "geheim", "AKTIV": "j", "PNAME": "Klein", "ABTNR": "3", "DW": "15",
                 "BERGRP": "A", "PNR": "4711"},
      "1||K21": {"Passwort": "kasse", "AKTIV": "J", "PNAME": "Yilmaz", "ABTNR": "3", "DW": "21",
                 "BERGRP": "A", "PNR": "4711"},
      "1||K20": {"Passwort": null, "AKTIV": "J", "PNAME": "Lange", "ABTNR": "3", "DW": null,
                 "BERGRP": "A", "PNR": "4799"}
    },
    "VD.ParPersAbt": {"1||3": {"abtbez": "Einkauf"}},
    "VD.PersBasis": {"1||4711": {"FAX": "0711 4711", "email": "maier@example.org"},
                     "1||4713": {"FAX": "0711 4713", "email": "schulz@example.org"}},
    "VD.ArtLagerFilInfo": {"1||123456||0": {"LAGST": "42"}, "1||654321||0": {"LAGST": "0"},
                           "1||777777||0": {"LAGST": "5"}}
  },
  "globals": {"^TOVI(1,3,1,1{today},123456)": "7'3'x", "^TOVI(1,3,1,1{today},654321)": "0'1"}
})json";
}

QStringList ServerProcess::logLines() const
{
    return log().split(u'\n', Qt::SkipEmptyParts);
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
