#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTimer>

namespace veldor {

// One line per event, each with a timestamp. Lines are written out in batches a few milliseconds
// apart rather than one system call each, which would cost more than serving the request.
class Log final
{
public:
    Log(); // standard error
    ~Log();
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    bool openFile(const QString& path, QString& error);
    void write(const QString& line);
    void flush();

    static constexpr int FlushDelayMs = 20;
    static constexpr qsizetype FlushBytes = 64 * 1024;

private:
    QByteArray timestamp();

    QFile m_file;
    QByteArray m_pending;
    QTimer m_flushTimer;
    qint64 m_stampSecond = -1;
    QByteArray m_stampPrefix; // "2026-12-08T09:01:02." for the cached second
};

// Control characters in client text would break the one-line-per-event rule.
QString escapeForLog(const QString& text);

} // namespace veldor
