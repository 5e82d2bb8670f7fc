#include "server_log.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

namespace testsupport {

QString ServerLog::text() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QStringList ServerLog::lines() const
{
    return text().split(u'\n', Qt::SkipEmptyParts);
}

qsizetype ServerLog::count(const QString& needle) const
{
    return text().count(needle);
}

bool ServerLog::waitForCount(const QString& needle, qsizetype count, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    while (text().count(needle) < count) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(10);
    }
    return true;
}

} // namespace testsupport
