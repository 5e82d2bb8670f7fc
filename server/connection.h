#pragma once

#include "session.h"

#include <QByteArray>
#include <QObject>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace veldor {

class Server;

// One client socket: framing, the hello handshake and the licence it holds.
class Connection final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Connection)

public:
    Connection(QTcpSocket* socket, Server& server, Database& db, Log& log);
    ~Connection() override;

    // A client that stops reading its replies must not grow the server's memory without bound.
    static constexpr qint64 MaxPendingOutput = 4 * 1024 * 1024;

private:
    void onReadyRead();
    void onDisconnected();
    QJsonObject hello(const QJsonObject& request);
    void reply(const QJsonObject& message);
    void drop(const QString& reason);

    QTcpSocket* m_socket; // owned through the Qt parent (this)
    Server& m_server;
    Database& m_db;
    Log& m_log;
    QByteArray m_input;
    QTimer m_helloTimer;
    std::unique_ptr<Session> m_session;
    bool m_holdsLicence = false;
    bool m_closing = false;
    QString m_peer;
};

} // namespace veldor
