#include "session/text_routines.h"

#include "platform/forms/error.h"
#include "registry/cp1252.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace session {

QString GetPiece(const QString& text, const QString& delimiter, int n, const QString& def)
{
    if (n < 1)
        return def;
    const bool splits = delimiter.size() == 1;
    qsizetype field = 1;
    QString result;
    for (const QChar c : text) {
        if (splits && c == delimiter.at(0)) {
            if (field == n)
                break;
            ++field;
        } else if (field == n) {
            result += c;
        }
    }
    return result.isEmpty() ? def : result;
}

namespace {

bool isDecimalDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

int digitValue(QChar c, int radix)
{
    int value = radix;
    if (isDecimalDigit(c))
        value = c.unicode() - u'0';
    else if (c >= u'a' && c <= u'f')
        value = c.unicode() - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        value = c.unicode() - u'A' + 10;
    return value < radix ? value : -1;
}

// "&H" and "&O" numbers are 32-bit integers; more is an overflow, not a number.
bool isRadixNumber(QStringView digits, int radix)
{
    if (digits.isEmpty())
        return false;
    quint64 value = 0;
    for (const QChar c : digits) {
        const int digit = digitValue(c, radix);
        if (digit < 0)
            return false;
        value = value * static_cast<quint64>(radix) + static_cast<quint64>(digit);
        if (value > 0xFFFFFFFFu)
            return false;
    }
    return true;
}

bool isDecimalNumber(QStringView token)
{
    qsizetype i = 0;
    const auto at = [&](qsizetype k) { return k < token.size() ? token.at(k) : QChar(); };
    if (at(i) == u'+' || at(i) == u'-')
        ++i;
    qsizetype digits = 0;
    bool point = false;
    for (;; ++i) {
        if (isDecimalDigit(at(i)))
            ++digits;
        else if ((at(i) == u'.' || at(i) == u',') && !point)
            point = true;
        else
            break;
    }
    if (digits == 0)
        return false;
    const QChar e = at(i);
    if (e == u'E' || e == u'e' || e == u'D' || e == u'd') {
        ++i;
        if (at(i) == u'+' || at(i) == u'-')
            ++i;
        const qsizetype exponentStart = i;
        while (isDecimalDigit(at(i)))
            ++i;
        if (i == exponentStart)
            return false;
    }
    if (i != token.size())
        return false;
    // Too large for a double is an overflow, not a number.
    QString plain = token.toString();
    plain.replace(u',', u'.').replace(u'D', u'e').replace(u'd', u'e');
    return std::isfinite(QLocale::c().toDouble(plain));
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

} // namespace

bool IsNumeric(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    const QStringView token = QStringView(text).sliced(begin, end - begin);
    if (token.startsWith(u'&')) {
        const QChar radix = token.size() > 1 ? token.at(1) : QChar();
        if (radix == u'H' || radix == u'h')
            return isRadixNumber(token.sliced(2), 16);
        if (radix == u'O' || radix == u'o')
            return isRadixNumber(token.sliced(2), 8);
        return false;
    }
    return isDecimalNumber(token);
}

QString textAfterProgramName(const QString& rawCommandLine)
{
    // The Windows runtime's rule: between quotes (anywhere in the name) blanks belong to the name;
    // every control character counts as a blank.
    const QString& raw = rawCommandLine;
    qsizetype i = 0;
    bool inQuotes = false;
    while (i < raw.size() && (raw.at(i) > u' ' || inQuotes)) {
        if (raw.at(i) == u'"')
            inQuotes = !inQuotes;
        ++i;
    }
    while (i < raw.size() && raw.at(i) <= u' ')
        ++i;
    return raw.sliced(i);
}

QString ScramblePassword(const QString& text)
{
    const std::optional<std::string> bytes = cp1252::fromUtf8(text.toStdString());
    if (!bytes)
        throw forms::Error(5, u"Das Passwort enthält ein Zeichen, das nicht gespeichert werden kann."_s);
    std::string scrambled = *bytes;
    for (char& c : scrambled)
        c = static_cast<char>(static_cast<unsigned char>(c) ^ ScrambleKey);
    return QString::fromStdString(cp1252::toUtf8(scrambled));
}

QString MValue(const QString& value)
{
    // Nothing as it is would leave "FIL=," behind: a syntax error on the server.
    const bool digitsOnly = !value.isEmpty() && std::all_of(value.cbegin(), value.cend(), isDecimalDigit);
    return digitsOnly ? value : u'"' + MQuoted(value) + u'"';
}

QString MQuoted(const QString& text)
{
    QString quoted = text;
    return quoted.replace(u'"', u"\"\""_s);
}

} // namespace session
