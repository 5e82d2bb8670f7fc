#pragma once

#include "platform/objfactory/tcp_stream.h"

#include <QByteArray>
#include <QJsonObject>

#include <chrono>

namespace objfactory {

struct Timeouts
{
    std::chrono::milliseconds connect{3000};
    std::chrono::milliseconds reply{5000};
};

// One session with the server: strict request/reply over a TcpStream. Shared by the factory and the
// server objects it hands out, so an object outliving a disconnect reports it instead of crashing.
class Channel final
{
public:
    Channel(TcpStream stream, Timeouts timeouts) : m_stream(std::move(stream)), m_timeouts(timeouts) {}

    // Sends one request and returns the reply's fields; raises Error on a failed reply or a
    // lost, timed-out or garbled connection (which is closed then, so the next call is refused).
    QJsonObject request(const QJsonObject& message);

    bool isOpen() const { return m_stream.isOpen(); }
    bool alive() const { return m_stream.isOpen() && !m_stream.peerGone(); }
    void close() { m_stream.close(); }

private:
    [[noreturn]] void lose(std::int32_t number, const QString& description);

    TcpStream m_stream;
    Timeouts m_timeouts;
    QByteArray m_input;
};

} // namespace objfactory
