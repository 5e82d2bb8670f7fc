#include "platform/ado/ado_connection.h"

#include "platform/ado/ado_connection_string.h"
#include "platform/ado/ado_odbc.h"

#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace ado {
namespace {

bool hasCatalogs(SQLHDBC connection)
{
    SQLWCHAR answer[4] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetInfoW(connection, SQL_CATALOG_NAME, answer, sizeof answer, &length);
    // A driver that cannot say is tried the long way.
    return !SQL_SUCCEEDED(rc) || (answer[0] != u'N' && answer[0] != u'n');
}

QString currentCatalog(SQLHDBC connection)
{
    std::vector<SQLWCHAR> buffer(512);
    const auto bytes = static_cast<SQLINTEGER>(buffer.size() * sizeof(SQLWCHAR));
    SQLINTEGER length = 0;
    SQLRETURN rc =
        SQLGetConnectAttrW(connection, SQL_ATTR_CURRENT_CATALOG, buffer.data(), bytes - 2, &length);
    if (SQL_SUCCEEDED(rc) && length > 0)
        return detail::fromSqlText(buffer.data(), qMin<qsizetype>(length, bytes - 2) / 2);
    SQLSMALLINT infoLength = 0;
    rc = SQLGetInfoW(connection, SQL_DATABASE_NAME, buffer.data(), static_cast<SQLSMALLINT>(bytes - 2),
                     &infoLength);
    if (SQL_SUCCEEDED(rc) && infoLength > 0)
        return detail::fromSqlText(buffer.data(), qMin<qsizetype>(infoLength, bytes - 2) / 2);
    return {};
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The ODBC way to choose a database is the current catalog. Drivers without catalogs (SQLite) have only the
// database of their data source; drivers that cannot switch once connected (psqlODBC ignores the attribute)
// are connected again with the database named in the connection string.
void selectDatabase(detail::ConnectionHandle& handle, const detail::DriverConnection& target)
{
    if (target.database.isEmpty() || !hasCatalogs(handle.get()) ||
        sameName(currentCatalog(handle.get()), target.database))
        return;
    const SQLRETURN rc =
        SQLSetConnectAttrW(handle.get(), SQL_ATTR_CURRENT_CATALOG, detail::sqlText(target.database),
                           static_cast<SQLINTEGER>(target.database.size() * sizeof(SQLWCHAR)));
    const QString refusal =
        SQL_SUCCEEDED(rc) ? QString() : detail::diagnostics(SQL_HANDLE_DBC, handle.get()).text;
    if (SQL_SUCCEEDED(rc) && sameName(currentCatalog(handle.get()), target.database))
        return;
    handle.connect(detail::withDatabaseAttribute(target.odbcString, target.database));
    const QString current = currentCatalog(handle.get());
    if (sameName(current, target.database))
        return;
    QString text = u"The data source cannot open the database \"%1\"; it is connected to \"%2\"."_s.arg(
        target.database, current);
    if (!refusal.isEmpty())
        text += u'\n' + refusal;
    throw Error(adErrProviderFailed, text);
}

} // namespace

Connection::Connection() = default;

Connection::~Connection() = default;

void Connection::open(const QString& connectionString, const QString& userId, const QString& password)
{
    if (isOpen())
        throw Error::objectOpen();
    const detail::DriverConnection target = detail::toDriverConnection(connectionString, userId, password);
    if (!environment_)
        environment_ = std::make_shared<detail::Environment>();
    auto handle = std::make_shared<detail::ConnectionHandle>(*environment_);
    run([environment = environment_, handle, target] {
        handle->connect(target.odbcString);
        selectDatabase(*handle, target);
    });
    handle_ = std::move(handle);
    connectionString_ = connectionString;
}

void Connection::setStepRunner(StepRunner runner, QString awaiting)
{
    runner_ = std::move(runner);
    awaiting_ = std::move(awaiting);
}

void Connection::runOnHandle(std::function<void(const detail::ConnectionHandle&)> call) const
{
    if (!isOpen())
        throw Error::invalidConnection();
    run([environment = environment_, handle = handle_, call = std::move(call)] { call(*handle); });
}

void Connection::run(std::function<void()> step) const
{
    if (!runner_) {
        step();
        return;
    }
    if (!runner_(awaiting_, std::move(step), {}))
        throw Error(adErrOperationCancelled, u"Operation has been cancelled by the user."_s);
}

void Connection::close() noexcept
{
    handle_.reset();
}

bool Connection::isOpen() const noexcept
{
    return handle_ && handle_->isConnected();
}

} // namespace ado
