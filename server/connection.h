#pragma once

#include "session.h"

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <memory>

namespace veldor {

class Server;

// Closes a socket descriptor when it goes.
class SocketHandle final
{
public:
    explicit SocketHandle(int fd) : m_fd(fd) {}
    ~SocketHandle();
    SocketHandle(const SocketHandle&) = delete;
    SocketHandle& operator=(const SocketHandle&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// One client socket: framing, the hello handshake and the licence it holds.
class Connection final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Connection)

public:
    Connection(int fd, Server& server, Database& db, Log& log);
    ~Connection() override;

    // A client that stops reading its replies must not grow the server's memory without bound.
    static constexpr qsizetype MaxPendingOutput = 4 * 1024 * 1024;
    // How long a dropped client has to take its last reply before the socket is closed regardless.
    static constexpr int LingerMs = 5000;

private:
    void onReadable();
    void onWritable();
    void handle(const QJsonObject& request);
    QJsonObject hello(const QJsonObject& request);
    void reply(const QJsonObject& message);
    void flush();
    void drop(const QString& reason);
    void finish();
    QString who() const;

    SocketHandle m_socket;
    QSocketNotifier m_readNotifier;
    QSocketNotifier m_writeNotifier;
    Server& m_server;
    Database& m_db;
    Log& m_log;
    QByteArray m_input;
    QByteArray m_output;
    QTimer m_timer; // hello deadline, then linger deadline
    std::unique_ptr<Session> m_session;
    bool m_holdsLicence = false;
    bool m_dropping = false;
    bool m_finished = false;
    QString m_peer;
};

} // namespace veldor
