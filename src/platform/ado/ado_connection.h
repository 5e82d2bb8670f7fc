#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>

namespace ado {

namespace detail {
class ConnectionHandle;
class Environment;
} // namespace detail

class Recordset;

// Runs one blocking call to the driver (step) so that the program stays responsive meanwhile; what says
// what is awaited, for the user. It may give up waiting (and return false); the step then runs on
// alone and owns what it uses. An empty runner runs the step in place.
using StepRunner =
    std::function<bool(const QString& what, std::function<void()> step, std::function<void()> cancel)>;

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
    // How opening and reading are run; a wait given up raises adErrOperationCancelled.
    void setStepRunner(StepRunner runner, QString awaiting);

private:
    friend class Recordset;
    // Runs a blocking call on the connection's handle through the step runner. The call keeps the
    // handle and its environment alive, so one given up can finish after the connection is closed.
    void runOnHandle(std::function<void(const detail::ConnectionHandle&)> call) const;
    void run(std::function<void()> step) const;

    // Declared first so that it outlives the connection handle allocated from it.
    std::shared_ptr<detail::Environment> environment_;
    std::shared_ptr<detail::ConnectionHandle> handle_;
    QString connectionString_;
    int commandTimeout_ = 30;
    StepRunner runner_;
    QString awaiting_;
};

} // namespace ado
