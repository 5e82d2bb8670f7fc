#include "log.h"

#include <QDateTime>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace veldor {

Log::Log()
{
    (void)m_file.open(stderr, QIODevice::WriteOnly | QIODevice::Append);
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(FlushDelayMs);
    QObject::connect(&m_flushTimer, &QTimer::timeout, &m_flushTimer, [this] { flush(); });
}

Log::~Log()
{
    flush();
}

bool Log::openFile(const QString& path, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        error = u"%1: cannot open log: %2"_s.arg(path, file.errorString());
        return false;
    }
    file.close();
    flush();
    m_file.close();
    m_file.setFileName(path);
    return m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
}

QByteArray Log::timestamp()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now / 1000 != m_stampSecond) {
        m_stampSecond = now / 1000;
        m_stampPrefix = QDateTime::fromSecsSinceEpoch(m_stampSecond).toString(Qt::ISODate).toUtf8() + '.';
    }
    const int ms = static_cast<int>(now % 1000);
    return m_stampPrefix + char('0' + ms / 100) + char('0' + ms / 10 % 10) + char('0' + ms % 10);
}

void Log::write(const QString& line)
{
    m_pending += timestamp();
    m_pending += ' ';
    m_pending += line.toUtf8();
    m_pending += '\n';
    if (m_pending.size() >= FlushBytes)
        flush();
    else if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void Log::flush()
{
    m_flushTimer.stop();
    if (m_pending.isEmpty())
        return;
    m_file.write(m_pending);
    m_file.flush();
    m_pending.clear();
}

QString escapeForLog(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            out += u"\\x%1"_s.arg(static_cast<uint>(c.unicode()), 2, 16, QChar(u'0'));
        else
            out += c;
    }
    return out;
}

} // namespace veldor
