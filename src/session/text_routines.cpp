#include "text_routines.h"

#include "cp1252.h"
#include "error.h"

using namespace Qt::Literals::StringLiterals;

namespace session {

QString GetPiece(const QString& text, const QString& delimiter, int n, const QString& def)
{
    QString result;
    unsigned char field = 1; // wraps like the byte counter it always was
    for (const QChar c : text) {
        if (delimiter.size() == 1 && c == delimiter.at(0)) {
            ++field;
            if (n >= 1 && field == n + 1)
                break;
        } else if (field == n) {
            result += c;
        }
    }
    return result.isEmpty() ? def : result;
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
    const bool digitsOnly =
        std::all_of(value.cbegin(), value.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    return digitsOnly ? value : u'"' + MQuoted(value) + u'"';
}

QString MQuoted(const QString& text)
{
    QString quoted = text;
    return quoted.replace(u'"', u"\"\""_s);
}

} // namespace session
