#pragma once

#include <QFile>
#include <QString>

namespace veldor {

// One line per event, each with a timestamp, flushed at once so that a test or an operator reading
// the file sees it immediately.
class Log final
{
public:
    Log(); // standard error
    bool openFile(const QString& path, QString& error);
    void write(const QString& line);

private:
    QFile m_file;
};

// Control characters in client text would break the one-line-per-event rule.
QString escapeForLog(const QString& text);

} // namespace veldor
