#pragma once

#include "database.h"
#include "log.h"

#include "listener.h"
#include <QHostAddress>
#include <QObject>

#include <memory>

namespace veldor {

class Connection;

// Accepts clients, one session and one licence per connection.
class Server final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Server)

public:
    Server(Database& db, Log& log, int licences, QObject* parent = nullptr);
    ~Server() override;

    bool listen(const QHostAddress& address, quint16 port, QString& error);
    QHostAddress address() const { return m_tcp.serverAddress(); }
    quint16 port() const { return m_tcp.serverPort(); }

    int licencesInUse() const { return m_licencesInUse; }
    int licences() const { return m_licences; }

    // Seconds a new connection may take to say hello before it is dropped.
    static constexpr int HelloTimeoutMs = 10000;

private:
    friend class Connection;
    bool takeLicence();
    void releaseLicence();
    int nextSessionId() { return ++m_lastSessionId; }

    void accept(qintptr descriptor);

    Database& m_db;
    Log& m_log;
    Listener m_tcp;
    int m_licences;
    int m_licencesInUse = 0;
    int m_lastSessionId = 0;
};

} // namespace veldor
