#include "platform/ado/ado_connection_string.h"

#include "platform/ado/ado_error.h"

#include <QList>

using namespace Qt::Literals::StringLiterals;

namespace ado::detail {
namespace {

struct Attribute
{
    QString key;
    QString value;
};

Error malformed(QStringView around)
{
    return Error(adErrInvalidArgument, u"The connection string is malformed near \"%1\"."_s.arg(around));
}

// ODBC connection string grammar: key=value pairs separated by ';', a value may be braced ({...}, with '}}'
// standing for '}') to carry ';' and blanks.
QList<Attribute> parse(QStringView text)
{
    QList<Attribute> result;
    qsizetype pos = 0;
    const qsizetype n = text.size();
    while (pos < n) {
        while (pos < n && (text[pos] == u';' || text[pos].isSpace()))
            ++pos;
        if (pos >= n)
            break;
        const qsizetype keyStart = pos;
        while (pos < n && text[pos] != u'=' && text[pos] != u';')
            ++pos;
        const QStringView key = text.sliced(keyStart, pos - keyStart).trimmed();
        if (pos >= n || text[pos] != u'=' || key.isEmpty())
            throw malformed(text.sliced(keyStart));
        ++pos;
        while (pos < n && text[pos].isSpace())
            ++pos;
        QString value;
        if (pos < n && text[pos] == u'{') {
            const qsizetype open = pos++;
            for (;;) {
                if (pos >= n)
                    throw malformed(text.sliced(open));
                if (text[pos] == u'}') {
                    if (pos + 1 < n && text[pos + 1] == u'}') {
                        value += u'}';
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    break;
                }
                value += text[pos++];
            }
            while (pos < n && text[pos].isSpace())
                ++pos;
            if (pos < n && text[pos] != u';')
                throw malformed(text.sliced(open));
        } else {
            const qsizetype valueStart = pos;
            while (pos < n && text[pos] != u';')
                ++pos;
            value = text.sliced(valueStart, pos - valueStart).trimmed().toString();
        }
        result.append({key.toString(), value});
    }
    return result;
}

bool isKey(const Attribute& attribute, QStringView a, QStringView b = {})
{
    return attribute.key.compare(a, Qt::CaseInsensitive) == 0 ||
           (!b.isEmpty() && attribute.key.compare(b, Qt::CaseInsensitive) == 0);
}

void appendAttribute(QString& out, QStringView key, const QString& value)
{
    const bool braced = value.contains(u';') || value.contains(u'{') || value.contains(u'}') ||
                        (!value.isEmpty() && (value.front().isSpace() || value.back().isSpace()));
    out += key;
    out += u'=';
    if (braced) {
        QString escaped = value;
        escaped.replace(u"}"_s, u"}}"_s);
        out += u'{' + escaped + u'}';
    } else {
        out += value;
    }
    out += u';';
}

} // namespace

DriverConnection toDriverConnection(QStringView adoString, const QString& userId, const QString& password)
{
    DriverConnection result;
    bool haveUid = false;
    bool havePwd = false;
    for (const Attribute& attribute : parse(adoString)) {
        if (isKey(attribute, u"provider")) {
            // ODBC is the only provider here; MSDASQL.1 is its versioned name.
            if (attribute.value.compare(u"MSDASQL", Qt::CaseInsensitive) != 0 &&
                attribute.value.compare(u"MSDASQL.1", Qt::CaseInsensitive) != 0)
                throw Error::providerNotFound();
        } else if (isKey(attribute, u"database", u"initial catalog")) {
            // Selected after connecting: a driver without catalogs would take it for something else (the
            // SQLite driver for a file name relative to the working directory).
            result.database = attribute.value;
        } else if (isKey(attribute, u"uid", u"user id")) {
            if (!userId.isEmpty() || attribute.value.isEmpty() || haveUid)
                continue;
            appendAttribute(result.odbcString, u"UID", attribute.value);
            haveUid = true;
        } else if (isKey(attribute, u"pwd", u"password")) {
            if (!password.isEmpty() || attribute.value.isEmpty() || havePwd)
                continue;
            appendAttribute(result.odbcString, u"PWD", attribute.value);
            havePwd = true;
        } else if (isKey(attribute, u"data source")) {
            appendAttribute(result.odbcString, u"DSN", attribute.value);
        } else {
            appendAttribute(result.odbcString, attribute.key, attribute.value);
        }
    }
    if (!userId.isEmpty())
        appendAttribute(result.odbcString, u"UID", userId);
    if (!password.isEmpty())
        appendAttribute(result.odbcString, u"PWD", password);
    return result;
}

QString withDatabaseAttribute(const QString& odbcString, const QString& database)
{
    QString result = odbcString;
    appendAttribute(result, u"DATABASE", database);
    return result;
}

} // namespace ado::detail
