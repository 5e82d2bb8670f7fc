#include "platform/ado/ado_odbc.h"

#include "platform/ado/ado_types.h"

#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace ado {

TextTransfer defaultTextTransfer() noexcept
{
#ifdef _WIN32
    // Windows drivers hand out SQL_C_CHAR in the ANSI code page.
    return TextTransfer::Utf16;
#else
    // unixODBC drivers hand out UTF-8, which is what the result store keeps: no conversion on either side.
    return TextTransfer::Utf8;
#endif
}

namespace detail {

Diagnostics diagnostics(SQLSMALLINT handleType, SQLHANDLE handle)
{
    Diagnostics result;
    if (handle == SQL_NULL_HANDLE)
        return result;
    std::vector<SQLWCHAR> message(1024);
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, record, state, &native, message.data(),
                                      static_cast<SQLSMALLINT>(message.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
            message.resize(static_cast<std::size_t>(length) + 1);
            rc = SQLGetDiagRecW(handleType, handle, record, state, &native, message.data(),
                                static_cast<SQLSMALLINT>(message.size()), &length);
        }
        if (!SQL_SUCCEEDED(rc))
            break;
        const QString text =
            fromSqlText(message.data(), qMin<qsizetype>(length, message.size() - 1)).trimmed();
        if (record == 1) {
            result.sqlState = fromSqlText(state, 5);
            result.nativeError = static_cast<int>(native);
        } else {
            result.text += u'\n';
        }
        result.text += text;
    }
    return result;
}

Error driverError(SQLSMALLINT handleType, SQLHANDLE handle, SQLRETURN rc, QStringView what)
{
    Diagnostics diag = diagnostics(handleType, handle);
    if (diag.text.isEmpty())
        diag.text = u"%1 failed (ODBC return code %2)."_s.arg(what).arg(rc);
    return Error(adErrProviderFailed, diag.text, diag.sqlState, diag.nativeError);
}

Environment::Environment()
{
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle_))) {
        handle_ = SQL_NULL_HENV;
        throw Error(adErrProviderFailed, u"The ODBC driver manager could not be initialised."_s);
    }
    const SQLRETURN rc = SQLSetEnvAttr(handle_, SQL_ATTR_ODBC_VERSION,
                                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_OV_ODBC3)), 0);
    if (!SQL_SUCCEEDED(rc)) {
        const Error error = driverError(SQL_HANDLE_ENV, handle_, rc, u"Selecting ODBC 3");
        SQLFreeHandle(SQL_HANDLE_ENV, handle_);
        handle_ = SQL_NULL_HENV;
        throw error;
    }
}

Environment::~Environment()
{
    if (handle_ != SQL_NULL_HENV)
        SQLFreeHandle(SQL_HANDLE_ENV, handle_);
}

ConnectionHandle::ConnectionHandle(const Environment& environment)
{
    const SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_DBC, environment.get(), &handle_);
    if (!SQL_SUCCEEDED(rc)) {
        handle_ = SQL_NULL_HDBC;
        throw driverError(SQL_HANDLE_ENV, environment.get(), rc, u"Allocating an ODBC connection");
    }
}

ConnectionHandle::~ConnectionHandle()
{
    disconnect();
    if (handle_ != SQL_NULL_HDBC)
        SQLFreeHandle(SQL_HANDLE_DBC, handle_);
}

void ConnectionHandle::connect(const QString& odbcConnectionString)
{
    disconnect();
    const SQLRETURN rc = SQLDriverConnectW(handle_, nullptr, sqlText(odbcConnectionString), SQL_NTS, nullptr,
                                           0, nullptr, SQL_DRIVER_NOPROMPT);
    check(rc, SQL_HANDLE_DBC, handle_, u"Connecting to the data source");
    connected_ = true;
}

void ConnectionHandle::disconnect() noexcept
{
    if (connected_) {
        SQLDisconnect(handle_);
        connected_ = false;
    }
}

StatementHandle::StatementHandle(SQLHDBC connection)
{
    const SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, connection, &handle_);
    if (!SQL_SUCCEEDED(rc)) {
        handle_ = SQL_NULL_HSTMT;
        throw driverError(SQL_HANDLE_DBC, connection, rc, u"Allocating an ODBC statement");
    }
}

StatementHandle::~StatementHandle()
{
    if (handle_ != SQL_NULL_HSTMT)
        SQLFreeHandle(SQL_HANDLE_STMT, handle_);
}

} // namespace detail
} // namespace ado
