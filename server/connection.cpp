#include "connection.h"

#include "server.h"
#include "wire.h"

using namespace Qt::Literals::StringLiterals;

namespace veldor {

Connection::Connection(QTcpSocket* socket, Server& server, Database& db, Log& log)
    : m_socket(socket), m_server(server), m_db(db), m_log(log)
{
    m_socket->setParent(this);
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_peer = u"%1:%2"_s.arg(m_socket->peerAddress().toString()).arg(m_socket->peerPort());
    connect(m_socket, &QTcpSocket::readyRead, this, &Connection::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &Connection::onDisconnected);
    m_helloTimer.setSingleShot(true);
    connect(&m_helloTimer, &QTimer::timeout, this, [this] { drop(u"no hello in time"_s); });
    m_helloTimer.start(Server::HelloTimeoutMs);
}

Connection::~Connection()
{
    if (m_holdsLicence)
        onDisconnected();
}

void Connection::onReadyRead()
{
    m_input.append(m_socket->readAll());
    while (!m_closing) {
        QJsonObject request;
        const wire::TakeResult taken = wire::takeFrame(m_input, request);
        if (taken == wire::TakeResult::Incomplete)
            return;
        if (taken == wire::TakeResult::Oversized) {
            reply(wire::errorReply(wire::error::BadRequest,
                                   u"request larger than %1 bytes"_s.arg(wire::MaxFrameBytes)));
            drop(u"oversized request"_s);
            return;
        }
        if (taken == wire::TakeResult::Malformed) {
            m_log.write(
                u"%1 malformed request"_s.arg(m_session ? u"session %1"_s.arg(m_session->id()) : m_peer));
            reply(wire::errorReply(wire::error::BadRequest, u"request is not a JSON object"_s));
            continue;
        }
        reply(m_session ? m_session->handle(request) : hello(request));
    }
}

QJsonObject Connection::hello(const QJsonObject& request)
{
    QJsonObject refusal;
    if (request.value(u"op"_s).toString() != u"hello"_s)
        refusal = wire::errorReply(wire::error::BadRequest, u"the first request must be hello"_s);
    else if (request.value(u"version"_s).toInt() != wire::Version)
        refusal = wire::errorReply(
            wire::error::BadVersion,
            u"protocol version %1 not supported (server speaks %2)"_s.arg(request.value(u"version"_s).toInt())
                .arg(wire::Version));
    else if (request.value(u"namespace"_s).toString().compare(u"VELDOR"_s, Qt::CaseInsensitive) != 0)
        refusal = wire::errorReply(wire::error::BadNamespace, u"namespace '%1' does not exist"_s.arg(
                                                                  request.value(u"namespace"_s).toString()));
    else if (!m_server.takeLicence())
        refusal = wire::errorReply(wire::error::NoLicence,
                                   u"no free licence (%1 of %1 in use)"_s.arg(m_server.licences()));

    if (!refusal.isEmpty()) {
        m_log.write(u"%1 refused: %2"_s.arg(m_peer, refusal[u"error"_s][u"text"_s].toString()));
        reply(refusal);
        drop(u"refused"_s);
        return {};
    }
    m_helloTimer.stop();
    m_holdsLicence = true;
    m_session = std::make_unique<Session>(m_server.nextSessionId(), m_db, m_log);
    m_log.write(u"session %1 opened from %2 (licences in use %3 of %4)"_s.arg(m_session->id())
                    .arg(m_peer)
                    .arg(m_server.licencesInUse())
                    .arg(m_server.licences()));
    QJsonObject ok = wire::okReply();
    ok.insert(u"version"_s, wire::Version);
    ok.insert(u"session"_s, m_session->id());
    return ok;
}

void Connection::reply(const QJsonObject& message)
{
    if (message.isEmpty() || m_closing)
        return;
    m_socket->write(wire::encodeFrame(message));
    m_socket->flush(); // the client waits for this reply; do not leave it to the next loop turn
    if (m_socket->bytesToWrite() > MaxPendingOutput)
        drop(u"client does not read its replies"_s);
}

void Connection::drop(const QString& reason)
{
    if (m_closing)
        return;
    m_closing = true;
    m_log.write(u"%1 dropped: %2"_s.arg(m_session ? u"session %1"_s.arg(m_session->id()) : m_peer, reason));
    // Flush what is pending (a refusal's reason), but never wait on a client that does not read.
    QTimer::singleShot(Server::HelloTimeoutMs / 2, this, [this] { m_socket->abort(); });
    m_socket->disconnectFromHost();
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        onDisconnected();
}

void Connection::onDisconnected()
{
    if (m_holdsLicence) {
        m_holdsLicence = false;
        m_server.releaseLicence();
        m_log.write(u"session %1 closed (licences in use %2 of %3)"_s.arg(m_session->id())
                        .arg(m_server.licencesInUse())
                        .arg(m_server.licences()));
    }
    m_closing = true;
    disconnect(m_socket, nullptr, this, nullptr);
    deleteLater();
}

} // namespace veldor
