#pragma once

// The one place that includes the ODBC headers. Only standard ODBC 3 calls are used, in their wide (W) forms,
// so the same code runs on unixODBC and on the Windows driver manager.

#include "platform/ado/ado_error.h"

#include <QString>
#include <QStringView>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

namespace ado::detail {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "wide ODBC calls need a 16-bit SQLWCHAR");

// ODBC declares input strings non-const; the driver manager does not write to them.
inline SQLWCHAR* sqlText(const QString& text)
{
    return const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(text.utf16()));
}

inline QString fromSqlText(const SQLWCHAR* text, qsizetype length)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length);
}

// Message text of all diagnostic records of a handle, one per line, and the first record's state.
struct Diagnostics
{
    QString text;
    QString sqlState;
    int nativeError = 0;
};
Diagnostics diagnostics(SQLSMALLINT handleType, SQLHANDLE handle);

// Error from a failed call: the driver's diagnostics, or `what` when the driver left none.
Error driverError(SQLSMALLINT handleType, SQLHANDLE handle, SQLRETURN rc, QStringView what);

inline void check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, QStringView what)
{
    if (!SQL_SUCCEEDED(rc))
        throw driverError(handleType, handle, rc, what);
}

class Environment final
{
public:
    Environment();
    ~Environment();
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

    SQLHENV get() const noexcept { return handle_; }

private:
    SQLHENV handle_ = SQL_NULL_HENV;
};

class ConnectionHandle final
{
public:
    explicit ConnectionHandle(const Environment& environment);
    ~ConnectionHandle();
    ConnectionHandle(const ConnectionHandle&) = delete;
    ConnectionHandle& operator=(const ConnectionHandle&) = delete;

    SQLHDBC get() const noexcept { return handle_; }
    bool isConnected() const noexcept { return connected_; }
    void connect(const QString& odbcConnectionString);
    void disconnect() noexcept;

private:
    SQLHDBC handle_ = SQL_NULL_HDBC;
    bool connected_ = false;
};

class StatementHandle final
{
public:
    explicit StatementHandle(SQLHDBC connection);
    ~StatementHandle();
    StatementHandle(const StatementHandle&) = delete;
    StatementHandle& operator=(const StatementHandle&) = delete;

    SQLHSTMT get() const noexcept { return handle_; }
    void check(SQLRETURN rc, QStringView what) const { detail::check(rc, SQL_HANDLE_STMT, handle_, what); }

private:
    SQLHSTMT handle_ = SQL_NULL_HSTMT;
};

} // namespace ado::detail
