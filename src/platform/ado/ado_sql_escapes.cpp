#include "platform/ado/ado_sql_escapes.h"

#include <array>

namespace ado::detail {
namespace {

// Escape keywords that take a quoted literal as their argument.
bool takesLiteral(QStringView keyword)
{
    constexpr std::array<QStringView, 5> keywords = {u"d", u"t", u"ts", u"guid", u"escape"};
    for (QStringView candidate : keywords) {
        if (keyword.compare(candidate, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

} // namespace

QString canonicalEscapes(const QString& statement)
{
    QString result;
    qsizetype copied = 0; // statement[0, copied) is in result already
    const qsizetype n = statement.size();
    qsizetype pos = 0;
    auto skipQuoted = [&](QChar quote) {
        // Doubled quotes stand for the quote itself and do not end the literal.
        ++pos;
        while (pos < n) {
            if (statement[pos] == quote) {
                if (pos + 1 < n && statement[pos + 1] == quote) {
                    pos += 2;
                    continue;
                }
                ++pos;
                return;
            }
            ++pos;
        }
    };
    while (pos < n) {
        const QChar c = statement[pos];
        if (c == u'\'' || c == u'"') {
            skipQuoted(c);
        } else if (c == u'-' && pos + 1 < n && statement[pos + 1] == u'-') {
            while (pos < n && statement[pos] != u'\n')
                ++pos;
        } else if (c == u'/' && pos + 1 < n && statement[pos + 1] == u'*') {
            const qsizetype end = statement.indexOf(u"*/", pos + 2);
            pos = end < 0 ? n : end + 2;
        } else if (c == u'{') {
            qsizetype k = pos + 1;
            while (k < n && statement[k].isSpace())
                ++k;
            const qsizetype keywordStart = k;
            while (k < n && isAsciiLetter(statement[k]))
                ++k;
            if (k < n && statement[k] == u'\'' && k > keywordStart &&
                takesLiteral(QStringView(statement).sliced(keywordStart, k - keywordStart))) {
                result += QStringView(statement).sliced(copied, k - copied);
                result += u' ';
                copied = k;
            }
            pos = k;
        } else {
            ++pos;
        }
    }
    if (copied == 0)
        return statement;
    result += QStringView(statement).sliced(copied);
    return result;
}

} // namespace ado::detail
