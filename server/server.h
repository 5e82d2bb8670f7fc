#pragma once

#include "database.h"
#include "listener.h"
#include "log.h"
#include "options.h"
#include "scheduler.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

namespace veldor {

class Connection;

// Accepts clients, one session and one licence per connection, up to the connection limit.
class Server final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Server)

public:
    Server(Database& db, Log& log, int licences, const Limits& limits = {}, QObject* parent = nullptr);
    ~Server() override;

    bool listen(const QHostAddress& address, quint16 port, QString& error);
    QHostAddress address() const { return m_listener.address(); }
    quint16 port() const { return m_listener.port(); }

    int licencesInUse() const { return m_licencesInUse; }
    int licences() const { return m_licences; }
    int connections() const { return m_connections; }
    // Requests answered at once (all but long lines): grows while clients are being served.
    std::uint64_t quickRequests() const { return m_quickRequests; }
    const Limits& limits() const { return m_limits; }

    // How long a flood of refused connections must be over before its count is logged.
    static constexpr int RefusalQuietMs = 10000;

private:
    friend class Connection;
    bool takeLicence();
    void releaseLicence();
    int nextSessionId() { return ++m_lastSessionId; }
    void connectionGone() { --m_connections; }
    // A connection from address has said hello, or has gone before it did.
    void pendingEnded(const QString& address);
    void servedQuickly() { ++m_quickRequests; }
    Scheduler& scheduler() { return m_scheduler; }
    // Refusals before a hello, logged without letting a flood of them flood the log.
    void logRefusal(const QString& line);

    void accept(int descriptor);
    void refuse(int descriptor);
    void refuseCrowded(int descriptor, const QString& address);
    static void sendRefusal(int descriptor, const QByteArray& frame);
    void endRefusals();

    Database& m_db;
    Log& m_log;
    Limits m_limits;
    Scheduler m_scheduler;
    Listener m_listener;
    int m_licences;
    int m_licencesInUse = 0;
    int m_lastSessionId = 0;
    int m_connections = 0;
    QHash<QString, int> m_pendingByAddress; // connections before their hello, by client address
    std::uint64_t m_quickRequests = 0;
    qint64 m_refused = 0; // at the connection limit, since it was last logged
    QTimer m_refusalQuiet;
    int m_refusalsLogged = 0; // before a hello, in the current minute
    qint64 m_refusalsUnlogged = 0;
    QTimer m_refusalMinute;

    static constexpr int RefusalsLoggedPerMinute = 20;
};

} // namespace veldor
