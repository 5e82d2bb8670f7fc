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
    // One entry. Whatever line holds, it becomes exactly one line of the log: control characters
    // are shown escaped, and a line longer than the limit is cut.
    void write(const QString& line);
    void flush();
    void setLineLimit(qsizetype bytes) { m_lineLimit = bytes; } // timestamp included
    qsizetype lineLimit() const { return m_lineLimit; }

    static constexpr int FlushDelayMs = 20;
    static constexpr qsizetype FlushBytes = 64 * 1024;

private:
    QByteArray timestamp();

    QFile m_file;
    QByteArray m_pending;
    QTimer m_flushTimer;
    qsizetype m_lineLimit = 4096;
    qint64 m_stampSecond = -1;
    QByteArray m_stampPrefix; // "2026-12-08T09:01:02." for the cached second
};

// Client text as it may appear in the log: backslashes doubled, control characters and other
// characters that do not print (C1 controls, line and paragraph separators, bidirectional and
// other format characters, unpaired surrogates, private use, unassigned) as \xNN or \u{NNNN},
// so that no client can start a line, forge one or send a terminal escape sequence.
QString escapeForLog(const QString& text);
// The same of text's first most characters, then "..." if there was more: for client text in a line
// that shows no more of it anyway, since escaping all of a client's megabyte costs more than its
// request may.
QString escapeForLog(const QString& text, qsizetype most);

// The same with backslashes left as they are: for server-made text that may hold a client's,
// already escaped, or a name from a file.
QString escapeControls(const QString& text);

} // namespace veldor
