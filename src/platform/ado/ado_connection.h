#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>

namespace ado {

namespace detail {
class ConnectionHandle;
class Environment;
} // namespace detail

class Recordset;

// A connection to an ODBC data source, opened with an ADO connection string for the ODBC provider, e.g.
// "PROVIDER=MSDASQL;dsn=tovi_net;uid=;pwd=;database=tovi;". Records are always read to the client.
class Connection final
{
public:
    Connection();
    ~Connection();
    Q_DISABLE_COPY_MOVE(Connection)

    // "database=" selects the database once connected (the current catalog); a data source without catalogs
    // has only the one it names, which satisfies it. Empty "uid=" / "pwd=" are left out, so the data source's
    // stored credentials apply; non-empty userId / password arguments take precedence over the string.
    // Throws ado::Error carrying the driver's text; the connection then stays closed.
    void open(const QString& connectionString, const QString& userId = {}, const QString& password = {});
    void close() noexcept;
    bool isOpen() const noexcept;
    const QString& connectionString() const noexcept { return connectionString_; }
    // Seconds a query may wait (for a lock, say) before it fails, where the driver supports it; 0 waits
    // for ever. ADO's default is 30.
    int commandTimeout() const noexcept { return commandTimeout_; }
    void setCommandTimeout(int seconds) noexcept { commandTimeout_ = seconds; }

private:
    friend class Recordset;
    const detail::ConnectionHandle* handle() const noexcept { return handle_.get(); }

    // Declared first so that it outlives the connection handle allocated from it.
    std::unique_ptr<detail::Environment> environment_;
    std::unique_ptr<detail::ConnectionHandle> handle_;
    QString connectionString_;
    int commandTimeout_ = 30;
};

} // namespace ado
