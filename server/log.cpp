#include "log.h"

#include <QDateTime>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace veldor {

Log::Log()
{
    (void)m_file.open(stderr, QIODevice::WriteOnly | QIODevice::Append);
}

bool Log::openFile(const QString& path, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        error = u"%1: cannot open log: %2"_s.arg(path, file.errorString());
        return false;
    }
    file.close();
    m_file.close();
    m_file.setFileName(path);
    return m_file.open(QIODevice::WriteOnly | QIODevice::Append);
}

void Log::write(const QString& line)
{
    const QString stamp = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
    m_file.write((stamp + u' ' + line + u'\n').toUtf8());
    m_file.flush();
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
