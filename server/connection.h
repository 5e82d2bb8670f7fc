#pragma once

#include "platform/wire/wire.h"
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
//
// Requests are taken one at a time: the next only once the reply to the last has been sent, so
// a client that does not read its replies stops only itself, and one frame per turn of the event
// loop, so a client that sends many at once cannot crowd out the others. What a connection
// buffers is bounded: the hello limit before its hello, one request after it. A request larger or
// with more fields than the limits is refused before it is decoded.
class Connection final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Connection)

public:
    Connection(int fd, Server& server, Database& db, Log& log, const QString& address);
    ~Connection() override;

    // How long a dropped client has to take its last reply before the socket is closed regardless.
    static constexpr int LingerMs = 5000;
    static constexpr qsizetype ReadBytes = 64 * 1024;
    static constexpr int DrainPauseMs = 10; // between reads of what a dropped client still sends
    // A request that takes longer makes its client rest, while others are served, before its
    // next one: a client sending line after line just short of a slice must not take more than
    // the long lines' share either.
    static constexpr std::chrono::microseconds QuickRequest{250};
    // Requests of this size and more are decoded at their turn among the long lines; smaller ones
    // take well under QuickRequest and are charged like any other request, after the fact.
    static constexpr std::uint32_t LargeRequestBytes = 16 * 1024;

private:
    void onReadable();
    void onWritable();
    void takeRequest();
    void decode(bool inTurn);
    void scheduleTakeRequest();
    void handle(const QJsonObject& request);
    void refuseRequest(const QString& text);
    QJsonObject hello(const QJsonObject& request);
    void refuseHello(const QJsonObject& refusal, const QString& reason);
    void reply(const QJsonObject& message);
    void flush();
    void updateReading();
    qsizetype inputRoom() const;
    wire::DecodeLimits decodeLimits() const;
    bool waiting() const;
    void rest(Scheduler::Clock::duration took);
    bool resting();
    void drop(const QString& reason);
    void leaveTurn();
    void endSession();
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
    QTimer m_timer; // hello deadline, then idle deadline, then linger deadline
    QTimer m_restTimer;
    Scheduler::Clock::time_point m_restUntil;
    std::uint64_t m_quickRequestsAtRest = 0;
    std::unique_ptr<Session> m_session;
    Scheduler::Task* m_turn = nullptr; // a large request waiting for its turn
    bool m_holdsLicence = false;
    bool m_dropping = false;
    bool m_finished = false;
    bool m_takeScheduled = false;
    QString m_peer;
    QString m_address;     // the client's, as the server counts connections before their hello
    bool m_pending = true; // no hello yet
};

} // namespace veldor
