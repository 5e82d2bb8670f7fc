#pragma once

#include "platform/objfactory/tcp_stream.h"

#include <QByteArray>
#include <QJsonObject>

#include <atomic>
#include <chrono>
#include <functional>

namespace objfactory {

struct Timeouts
{
    std::chrono::milliseconds connect{3000};
    std::chrono::milliseconds reply{5000};
};

// Runs one blocking exchange with the server (step) so that the program stays responsive meanwhile;
// cancel, called from the caller's thread, makes the step end soon. what says what is awaited, for the
// user. Returns false only for a step it gave up on without cancel. An empty runner runs step in place.
using StepRunner =
    std::function<bool(const QString& what, std::function<void()> step, std::function<void()> cancel)>;

// The note a runner shows while the server at that address is awaited.
QString awaitingServer(const QString& host, quint16 port);

// One session with the server: strict request/reply over a TcpStream. Shared by the factory and the
// server objects it hands out, so an object outliving a disconnect reports it instead of crashing.
class Channel final
{
public:
    Channel(TcpStream stream, Timeouts timeouts, StepRunner runner = {}, QString awaiting = {})
        : m_stream(std::move(stream)), m_timeouts(timeouts), m_runner(std::move(runner)),
          m_awaiting(std::move(awaiting))
    {}

    // Sends one request and returns the reply's fields; raises Error on a failed reply or a
    // lost, timed-out, cancelled or garbled connection (which is closed then, so the next call is
    // refused).
    QJsonObject request(const QJsonObject& message);
    // True once a request ended because its wait was cancelled.
    bool cancelled() const { return m_cancelled; }

    bool isOpen() const { return m_stream.isOpen(); }
    bool alive() const { return m_stream.isOpen() && !m_stream.peerGone(); }
    void close() { m_stream.close(); }

private:
    QJsonObject exchange(const QJsonObject& message);
    [[noreturn]] void lose(std::int32_t number, const QString& description);

    TcpStream m_stream;
    Timeouts m_timeouts;
    StepRunner m_runner;
    QString m_awaiting;
    QByteArray m_input;
    std::atomic<bool> m_cancelled{false};
};

} // namespace objfactory
