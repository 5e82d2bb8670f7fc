// Under Wine: the ODBC setup made by with_odbc_sandbox.sh, and the database written through ODBC, as
// there is no SQLite for Windows here.
#include "ado_test_support.h"

#include <QDir>
#include <QFileInfo>

#include <windows.h>

#include <sql.h>
#include <sqlext.h>

#include <stdexcept>

using namespace Qt::Literals::StringLiterals;

namespace ado::test {
namespace {

[[noreturn]] void fail(const QString& what)
{
    throw std::runtime_error(what.toStdString());
}

// ODBC takes no const strings; the driver does not write to them.
SQLWCHAR* wide(const QString& text)
{
    return reinterpret_cast<SQLWCHAR*>(const_cast<ushort*>(text.utf16()));
}

QString diagnostics(SQLSMALLINT type, SQLHANDLE handle)
{
    SQLWCHAR state[6] = {};
    SQLWCHAR message[1024] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, 1, state, &native, message, 1024, &length)))
        return u"no diagnostics"_s;
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(message), std::min<int>(length, 1023));
}

// A connection to the sandbox's tovi_net, without autocommit, freed with its handles.
class Connection final
{
public:
    Connection()
    {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env)) ||
            !SQL_SUCCEEDED(
                SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION,
                              reinterpret_cast<SQLPOINTER>(static_cast<std::intptr_t>(SQL_OV_ODBC3)), 0)) ||
            !SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, m_env, &m_dbc)))
            fail(u"ODBC: no environment"_s);
        QString text = u"DSN=tovi_net"_s;
        if (!SQL_SUCCEEDED(SQLDriverConnectW(m_dbc, nullptr, wide(text), SQL_NTS, nullptr, 0, nullptr,
                                             SQL_DRIVER_NOPROMPT)))
            fail(u"ODBC: cannot connect to tovi_net: "_s + diagnostics(SQL_HANDLE_DBC, m_dbc));
        m_connected = true;
        SQLSetConnectAttrW(m_dbc, SQL_ATTR_AUTOCOMMIT,
                           reinterpret_cast<SQLPOINTER>(static_cast<std::intptr_t>(SQL_AUTOCOMMIT_OFF)), 0);
    }
    ~Connection()
    {
        if (m_connected) {
            SQLEndTran(SQL_HANDLE_DBC, m_dbc, SQL_ROLLBACK); // nothing, after a commit
            SQLDisconnect(m_dbc);
        }
        if (m_dbc)
            SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
        if (m_env)
            SQLFreeHandle(SQL_HANDLE_ENV, m_env);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void exec(const QString& sql)
    {
        SQLHANDLE statement = SQL_NULL_HANDLE;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &statement)))
            fail(u"ODBC: no statement handle"_s);
        QString text = sql;
        const SQLRETURN rc = SQLExecDirectW(statement, wide(text), SQL_NTS);
        const QString why =
            SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA ? QString() : diagnostics(SQL_HANDLE_STMT, statement);
        SQLFreeHandle(SQL_HANDLE_STMT, statement);
        if (!why.isEmpty())
            fail(u"ODBC: %1 in %2"_s.arg(why, sql));
    }

    // SQLite's own transactions (BEGIN EXCLUSIVE) need the driver out of its manual-commit mode.
    void autocommit()
    {
        SQLSetConnectAttrW(m_dbc, SQL_ATTR_AUTOCOMMIT,
                           reinterpret_cast<SQLPOINTER>(static_cast<std::intptr_t>(SQL_AUTOCOMMIT_ON)), 0);
    }

    void commit()
    {
        if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, m_dbc, SQL_COMMIT)))
            fail(u"ODBC: commit failed: "_s + diagnostics(SQL_HANDLE_DBC, m_dbc));
    }

private:
    SQLHANDLE m_env = SQL_NULL_HANDLE;
    SQLHANDLE m_dbc = SQL_NULL_HANDLE;
    bool m_connected = false;
};

// Only the sandbox's database is reachable from here, through its data source.
Connection connectTo(const QString& databasePath)
{
    if (QFileInfo(databasePath) != QFileInfo(OdbcSandbox::instance().databasePath()))
        fail(u"only the sandbox's database can be written here, not %1"_s.arg(databasePath));
    return {};
}

// Text as SQLite reads it whatever the path between here and the driver does to characters beyond
// Latin-1 (Wine's odbc32 and the host's driver manager lose them on the way in).
QString textLiteral(const QString& text)
{
    return u"CAST(X'%1' AS TEXT)"_s.arg(QString::fromLatin1(text.toUtf8().toHex()));
}

// The statements of a script, split at semicolons outside quotes, their string literals made safe.
QStringList statements(const QString& script)
{
    QStringList parts;
    QString current;
    for (qsizetype i = 0; i < script.size(); ++i) {
        const QChar c = script.at(i);
        if (c == u';') {
            parts << current;
            current.clear();
        } else if (c == u'\'') {
            QString text;
            for (++i; i < script.size(); ++i) {
                if (script.at(i) == u'\'' && i + 1 < script.size() && script.at(i + 1) == u'\'')
                    text += script.at(++i);
                else if (script.at(i) == u'\'')
                    break;
                else
                    text += script.at(i);
            }
            current += textLiteral(text);
        } else {
            current += c;
        }
    }
    parts << current;
    parts.removeIf([](const QString& part) { return part.trimmed().isEmpty(); });
    return parts;
}

QString literal(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return u"NULL"_s;
    if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong)
        return QString::number(value.toLongLong());
    if (value.typeId() == QMetaType::Double)
        return QString::number(value.toDouble(), 'g', 17);
    return textLiteral(value.typeId() == QMetaType::QDate ? value.toDate().toString(Qt::ISODate)
                                                          : value.toString());
}

} // namespace

OdbcSandbox::OdbcSandbox() : dir_(QDir::fromNativeSeparators(qEnvironmentVariable("PLENVARO_TEST_ODBC_DIR")))
{
    if (dir_.isEmpty())
        fail(u"no ODBC sandbox: PLENVARO_TEST_ODBC_DIR is set by with_odbc_sandbox.sh, which this test runs "
             u"under"_s);
}

bool OdbcSandbox::driverAvailable()
{
    return !qEnvironmentVariableIsEmpty("PLENVARO_TEST_ODBC_DIR");
}

void writeArticles(const QString& databasePath, const std::vector<Article>& articles)
{
    Connection db = connectTo(databasePath);
    db.exec(u"DROP TABLE IF EXISTS kk_artikel"_s);
    db.exec(
        u"CREATE TABLE kk_artikel (num_artikel TEXT, nam_artikel TEXT, nam_artikel_2 TEXT, nam_artikel_lang "
        u"TEXT, anz_punkte INTEGER, gueltig_ab DATE, gueltig_bis DATE, statt_preis NUMERIC(10,2), "
        u"dat_loesch DATE)"_s);
    for (const Article& a : articles) {
        const QVariant values[] = {a.number,    a.name,    a.name2, a.longName, a.points,
                                   a.validFrom, a.validTo, a.price, a.deleted};
        QStringList texts;
        for (const QVariant& value : values)
            texts << literal(value);
        db.exec(u"INSERT INTO kk_artikel VALUES (%1)"_s.arg(texts.join(u',')));
    }
    db.commit();
}

std::unique_ptr<DatabaseLock> lockExclusively(const QString& databasePath)
{
    struct Lock final : DatabaseLock
    {
        explicit Lock(const QString& path) : connection(connectTo(path))
        {
            connection.autocommit();
            connection.exec(u"BEGIN EXCLUSIVE"_s);
        }
        Connection connection; // its disconnect ends the transaction
    };
    return std::make_unique<Lock>(databasePath);
}

void execSql(const QString& databasePath, const QString& sql)
{
    Connection db = connectTo(databasePath);
    for (const QString& statement : statements(sql))
        db.exec(statement);
    db.commit();
}

} // namespace ado::test
