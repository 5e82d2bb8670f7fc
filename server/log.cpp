#include "log.h"

#include <QDateTime>

#include <algorithm>
#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace veldor {

Log::Log()
{
    // Not Append: that seeks to the end, which fails on a pipe or socket (a journal, `| tee`). Whoever
    // opened a file for us chose its position already.
    (void)m_file.open(fileno(stderr), QIODevice::WriteOnly | QIODevice::Unbuffered);
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
    const QByteArray stamp = timestamp();
    const qsizetype room = m_lineLimit - stamp.size() - 1;
    // Every character takes a byte at least: beyond room characters nothing would show.
    QByteArray text = escapeControls(line.size() > room ? line.left(room) : line).toUtf8();
    if (text.size() > room || line.size() > room) {
        const QByteArray note = " ... [cut, " + QByteArray::number(line.size()) + " characters]";
        qsizetype keep = std::max<qsizetype>(0, room - note.size());
        while (keep > 0 && (static_cast<uchar>(text.at(keep)) & 0xC0) == 0x80)
            --keep;
        text.truncate(keep);
        text += note;
    }
    m_pending += stamp;
    m_pending += ' ';
    m_pending += text;
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

namespace {

bool breaksLine(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x2028 || c == 0x2029;
}

bool printable(char32_t c)
{
    if (breaksLine(c))
        return false;
    if (c < 0x7F)
        return true;
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
        return false;
    default:
        return true;
    }
}

void appendEscaped(QString& out, char32_t c)
{
    if (c < 0x100)
        out += u"\\x%1"_s.arg(static_cast<uint>(c), 2, 16, QChar(u'0'));
    else
        out += u"\\u{%1}"_s.arg(static_cast<uint>(c), 4, 16, QChar(u'0'));
}

// Walks code points; an unpaired surrogate comes as itself.
QString escaped(const QString& text, bool (*keep)(char32_t), bool backslashes)
{
    qsizetype i = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c >= 0x7F || c < 0x20 || (backslashes && c == u'\\'))
            break;
    }
    if (i == text.size())
        return text; // plain ASCII: the usual case
    QString out = text.left(i);
    out.reserve(text.size() + 16);
    while (i < text.size()) {
        char32_t c = text.at(i).unicode();
        qsizetype length = 1;
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            length = 2;
        }
        if (backslashes && c == u'\\')
            out += u"\\\\"_s;
        else if (keep(c))
            out += text.mid(i, length);
        else
            appendEscaped(out, c);
        i += length;
    }
    return out;
}

} // namespace

QString escapeForLog(const QString& text)
{
    return escaped(text, printable, true);
}

QString escapeForLog(const QString& text, qsizetype most)
{
    if (text.size() <= most)
        return escapeForLog(text);
    return escapeForLog(text.left(most)) + u"..."_s;
}

QString escapeControls(const QString& text)
{
    return escaped(text, printable, false);
}

} // namespace veldor
