#include "connection.h"

#include "platform/wire/wire.h"
#include "server.h"

#include <QHostAddress>

#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace veldor {
namespace {

QString peerName(int fd)
{
    sockaddr_storage address = {};
    socklen_t length = sizeof address;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return u"unknown peer"_s;
    QHostAddress host(reinterpret_cast<sockaddr*>(&address));
    const quint16 port = address.ss_family == AF_INET6
                             ? ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port)
                             : ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    return u"%1:%2"_s.arg(host.toString()).arg(port);
}

} // namespace

SocketHandle::~SocketHandle()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Connection::Connection(int fd, Server& server, Database& db, Log& log)
    : m_socket(fd), m_readNotifier(fd, QSocketNotifier::Read), m_writeNotifier(fd, QSocketNotifier::Write),
      m_server(server), m_db(db), m_log(log), m_peer(peerName(fd))
{
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    m_writeNotifier.setEnabled(false);
    connect(&m_readNotifier, &QSocketNotifier::activated, this, &Connection::onReadable);
    connect(&m_writeNotifier, &QSocketNotifier::activated, this, &Connection::onWritable);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_dropping)
            finish();
        else
            drop(u"no hello in time"_s);
    });
    m_timer.start(Server::HelloTimeoutMs);
}

Connection::~Connection()
{
    finish();
}

QString Connection::who() const
{
    return m_session ? u"session %1"_s.arg(m_session->id()) : m_peer;
}

void Connection::onReadable()
{
    char buffer[64 * 1024];
    const ssize_t got = ::recv(m_socket.fd(), buffer, sizeof buffer, MSG_DONTWAIT);
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        finish();
        return;
    }
    if (got < 0 || m_dropping) // a dropped client's further input is only drained
        return;
    m_input.append(buffer, got);
    while (!m_dropping) {
        QJsonObject request;
        const wire::TakeResult taken = wire::takeFrame(m_input, request);
        if (taken == wire::TakeResult::Incomplete)
            break;
        if (taken == wire::TakeResult::Oversized) {
            reply(wire::errorReply(wire::error::BadRequest,
                                   u"request larger than %1 bytes"_s.arg(wire::MaxFrameBytes)));
            drop(u"oversized request"_s);
        } else if (taken == wire::TakeResult::Malformed) {
            m_log.write(who() + u" malformed request"_s);
            reply(wire::errorReply(wire::error::BadRequest, u"request is not a JSON object"_s));
        } else {
            handle(request);
        }
    }
    flush();
}

void Connection::handle(const QJsonObject& request)
{
    reply(m_session ? m_session->handle(request) : hello(request));
}

QJsonObject Connection::hello(const QJsonObject& request)
{
    QJsonObject refusal;
    const QString nameSpace = request.value(u"namespace"_s).toString();
    if (request.value(u"op"_s).toString() != u"hello"_s)
        refusal = wire::errorReply(wire::error::BadRequest, u"the first request must be hello"_s);
    else if (request.value(u"version"_s).toInt() != wire::Version)
        refusal = wire::errorReply(
            wire::error::BadVersion,
            u"protocol version %1 not supported (server speaks %2)"_s.arg(request.value(u"version"_s).toInt())
                .arg(wire::Version));
    else if (nameSpace.compare(u"VELDOR"_s, Qt::CaseInsensitive) != 0)
        refusal =
            wire::errorReply(wire::error::BadNamespace, u"namespace '%1' does not exist"_s.arg(nameSpace));
    else if (!m_server.takeLicence())
        refusal = wire::errorReply(wire::error::NoLicence,
                                   u"no free licence (%1 of %1 in use)"_s.arg(m_server.licences()));

    if (!refusal.isEmpty()) {
        m_log.write(u"%1 refused: %2"_s.arg(m_peer, refusal[u"error"_s][u"text"_s].toString()));
        reply(refusal);
        drop(u"refused"_s);
        return {};
    }
    m_timer.stop();
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
    if (message.isEmpty() || m_finished)
        return;
    m_output.append(wire::encodeFrame(message));
    if (m_output.size() > MaxPendingOutput) {
        m_output.clear();
        drop(u"client does not read its replies"_s);
    }
}

void Connection::flush()
{
    while (!m_output.isEmpty() && !m_finished) {
        const ssize_t sent =
            ::send(m_socket.fd(), m_output.constData(), m_output.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent > 0) {
            m_output.remove(0, sent);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            m_writeNotifier.setEnabled(true);
            return;
        }
        finish();
        return;
    }
    m_writeNotifier.setEnabled(false);
    if (m_dropping && !m_finished)
        ::shutdown(m_socket.fd(), SHUT_WR); // the client reads its last reply, then sees the end
}

void Connection::onWritable()
{
    flush();
}

void Connection::drop(const QString& reason)
{
    if (m_dropping)
        return;
    m_dropping = true;
    m_input.clear();
    m_log.write(u"%1 dropped: %2"_s.arg(who(), reason));
    // Closing at once could reset the connection before the client has read the reason; wait
    // for the client to close, but not for ever.
    m_timer.start(LingerMs);
    flush();
}

void Connection::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_readNotifier.setEnabled(false);
    m_writeNotifier.setEnabled(false);
    m_timer.stop();
    if (m_holdsLicence) {
        m_holdsLicence = false;
        m_server.releaseLicence();
        m_log.write(u"session %1 closed (licences in use %2 of %3)"_s.arg(m_session->id())
                        .arg(m_server.licencesInUse())
                        .arg(m_server.licences()));
    }
    deleteLater();
}

} // namespace veldor
