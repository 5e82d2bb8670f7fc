#include "platform/objfactory/channel.h"

#include "platform/objfactory/server_error.h"
#include "platform/wire/wire.h"

using namespace Qt::Literals::StringLiterals;

namespace objfactory {

void Channel::lose(std::int32_t number, const QString& description)
{
    m_stream.close();
    m_input.clear();
    throw Error(number, description);
}

QString awaitingServer(const QString& host, quint16 port)
{
    return u"Warte auf den Server %1:%2 ..."_s.arg(host).arg(port);
}

QJsonObject Channel::request(const QJsonObject& message)
{
    if (!m_runner)
        return exchange(message);
    QJsonObject reply;
    const bool finished = m_runner(
        m_awaiting, [this, &message, &reply] { reply = exchange(message); },
        [this] {
            m_cancelled = true;
            m_stream.interrupt();
        });
    if (!finished)
        lose(wire::error::ConnectionLost, u"Warten auf den Server abgebrochen"_s);
    return reply;
}

QJsonObject Channel::exchange(const QJsonObject& message)
{
    if (!m_stream.isOpen())
        throw Error(wire::error::NotConnected, u"Keine Verbindung zum Server"_s);
    const QByteArray frame = wire::encodeFrame(message);
    if (frame.isEmpty())
        throw Error(wire::error::Protocol, u"Anfrage größer als %1 Bytes"_s.arg(wire::MaxFrameBytes));

    const Deadline deadline = std::chrono::steady_clock::now() + m_timeouts.reply;
    switch (m_stream.sendAll(frame.constData(), static_cast<std::size_t>(frame.size()), deadline)) {
    case TcpStream::Status::Ok:
        break;
    case TcpStream::Status::Timeout:
        lose(wire::error::Timeout, u"Zeitüberschreitung beim Senden an den Server"_s);
    case TcpStream::Status::Cancelled:
        lose(wire::error::ConnectionLost, u"Warten auf den Server abgebrochen"_s);
    case TcpStream::Status::Closed:
    case TcpStream::Status::Failed:
        lose(wire::error::ConnectionLost, u"Verbindung zum Server verloren"_s);
    }

    char buffer[64 * 1024];
    for (;;) {
        QJsonObject reply;
        switch (wire::takeFrame(m_input, reply)) {
        case wire::TakeResult::Frame:
            if (const auto error = wire::replyError(reply))
                throw Error(error->number, error->text);
            return reply;
        case wire::TakeResult::Oversized:
        case wire::TakeResult::Malformed:
            lose(wire::error::Protocol, u"Unverständliche Antwort des Servers"_s);
        case wire::TakeResult::Incomplete:
            break;
        }
        std::size_t received = 0;
        switch (m_stream.receive(buffer, sizeof buffer, received, deadline)) {
        case TcpStream::Status::Ok:
            m_input.append(buffer, static_cast<qsizetype>(received));
            break;
        case TcpStream::Status::Timeout:
            lose(wire::error::Timeout, u"Server antwortet nicht (Zeitüberschreitung)"_s);
        case TcpStream::Status::Cancelled:
            lose(wire::error::ConnectionLost, u"Warten auf den Server abgebrochen"_s);
        case TcpStream::Status::Closed:
        case TcpStream::Status::Failed:
            lose(wire::error::ConnectionLost, u"Verbindung zum Server verloren"_s);
        }
    }
}

} // namespace objfactory
