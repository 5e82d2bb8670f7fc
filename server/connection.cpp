#include "connection.h"

#include "platform/wire/wire.h"
#include "server.h"

#include <QHostAddress>

#include <algorithm>
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

// A silent peer that has vanished (switched off, cable pulled) is noticed after the idle time
// and KeepaliveProbes unanswered probes KeepaliveIntervalS apart.
constexpr int KeepaliveProbes = 6;
constexpr int KeepaliveIntervalS = 10;

void setKeepalive(int fd, std::chrono::seconds idle)
{
    if (idle.count() <= 0)
        return;
    const int on = 1;
    const int idleS = static_cast<int>(idle.count());
    const int interval = std::min(KeepaliveIntervalS, idleS);
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idleS, sizeof idleS);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &KeepaliveProbes, sizeof KeepaliveProbes);
}

// Client text quoted inside an error text, short enough to keep the text readable.
QString shortened(const QString& text)
{
    constexpr qsizetype Most = 100;
    return text.size() <= Most ? text : text.left(Most) + u"..."_s;
}

} // namespace

SocketHandle::~SocketHandle()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Connection::Connection(int fd, Server& server, Database& db, Log& log, const QString& address)
    : m_socket(fd), m_readNotifier(fd, QSocketNotifier::Read), m_writeNotifier(fd, QSocketNotifier::Write),
      m_server(server), m_db(db), m_log(log), m_peer(peerName(fd)), m_address(address)
{
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    setKeepalive(fd, server.limits().keepalive);
    m_writeNotifier.setEnabled(false);
    connect(&m_readNotifier, &QSocketNotifier::activated, this, &Connection::onReadable);
    connect(&m_writeNotifier, &QSocketNotifier::activated, this, &Connection::onWritable);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_dropping)
            finish();
        else if (!m_session)
            drop(u"no hello in time"_s);
        else if (m_session->busy())
            m_timer.start(m_server.limits().idleTimeout); // working is not idling
        else
            drop(u"idle for %1 s"_s.arg(m_server.limits().idleTimeout.count()));
    });
    m_timer.start(server.limits().helloTimeout);
    m_restTimer.setSingleShot(true);
    m_restTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_restTimer, &QTimer::timeout, this, &Connection::takeRequest);
}

Connection::~Connection()
{
    finish();
    if (m_pending)
        m_server.pendingEnded(m_address);
    m_server.connectionGone();
}

QString Connection::who() const
{
    return m_session ? u"session %1"_s.arg(m_session->id()) : m_peer;
}

qsizetype Connection::inputRoom() const
{
    // Before the hello one byte more than allowed, so that too much shows.
    const qsizetype capacity = m_session ? wire::HeaderBytes + m_server.limits().maxRequestBytes
                                         : m_server.limits().maxHelloBytes + 1;
    return std::max<qsizetype>(0, capacity - m_input.size());
}

wire::DecodeLimits Connection::decodeLimits() const
{
    const Limits& limits = m_server.limits();
    const qsizetype bytes = m_session ? limits.maxRequestBytes : limits.maxHelloBytes - wire::HeaderBytes;
    return {static_cast<std::uint32_t>(bytes), limits.maxRequestFields};
}

bool Connection::waiting() const
{
    return (m_session && m_session->busy()) || !m_output.isEmpty() || m_turn;
}

void Connection::updateReading()
{
    if (!m_finished)
        m_readNotifier.setEnabled(m_dropping || inputRoom() > 0);
}

void Connection::onReadable()
{
    char buffer[ReadBytes];
    const qsizetype room = m_dropping ? ReadBytes : std::min(ReadBytes, inputRoom());
    if (room == 0) {
        updateReading();
        return;
    }
    const ssize_t got = ::recv(m_socket.fd(), buffer, static_cast<size_t>(room), MSG_DONTWAIT);
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        finish();
        return;
    }
    if (got < 0)
        return;
    if (m_dropping) {
        // A dropped client's further input is only drained, one read at a time with pauses
        // between: a client sending what was refused again and again sends slowly.
        m_readNotifier.setEnabled(false);
        QTimer::singleShot(DrainPauseMs, this, &Connection::updateReading);
        return;
    }
    m_input.append(buffer, got);
    takeRequest();
    updateReading();
}

void Connection::scheduleTakeRequest()
{
    if (m_takeScheduled || m_finished || m_dropping || waiting() || m_input.size() < wire::HeaderBytes)
        return;
    m_takeScheduled = true;
    QMetaObject::invokeMethod(this, &Connection::takeRequest, Qt::QueuedConnection);
}

void Connection::rest(Scheduler::Clock::duration took)
{
    m_restUntil = Scheduler::Clock::now() + m_server.scheduler().restAfter(took);
    m_quickRequestsAtRest = m_server.quickRequests();
}

bool Connection::resting()
{
    const auto now = Scheduler::Clock::now();
    if (now >= m_restUntil || m_server.quickRequests() == m_quickRequestsAtRest)
        return false; // rested enough, or nobody else wanted anything meanwhile
    if (!m_restTimer.isActive())
        m_restTimer.start(std::chrono::ceil<std::chrono::milliseconds>(m_restUntil - now));
    return true;
}

void Connection::takeRequest()
{
    m_takeScheduled = false;
    if (m_finished || m_dropping || waiting() || (m_session && resting()))
        return;
    // A large request costs time to decode in proportion to its size: it waits for its turn among
    // the long lines and counts in their share, so that clients sending such requests back to back
    // leave the others theirs.
    const std::optional<std::uint32_t> length = wire::announcedLength(m_input);
    if (m_session && length && *length >= LargeRequestBytes && *length <= decodeLimits().maxBytes &&
        m_input.size() >= wire::HeaderBytes + qsizetype(*length)) {
        m_turn = m_server.scheduler().runInTurn([this] {
            m_turn = nullptr;
            decode(true);
        });
        return;
    }
    decode(false);
}

void Connection::decode(bool inTurn)
{
    const bool session = m_session != nullptr;
    const auto start = Scheduler::Clock::now();
    QJsonObject request;
    switch (wire::takeMessage(m_input, request, decodeLimits())) {
    case wire::Decoded::Incomplete:
        return;
    case wire::Decoded::TooLarge:
        if (session) {
            reply(wire::errorReply(wire::error::BadRequest,
                                   u"request larger than %1 bytes"_s.arg(decodeLimits().maxBytes)));
            drop(u"oversized request"_s);
        } else {
            const QString text = u"more than %1 bytes before hello"_s.arg(m_server.limits().maxHelloBytes);
            refuseHello(wire::errorReply(wire::error::BadRequest, text), text);
        }
        return;
    case wire::Decoded::TooManyFields:
        refuseRequest(u"request with more than %1 fields"_s.arg(m_server.limits().maxRequestFields));
        break;
    case wire::Decoded::Malformed:
        refuseRequest(u"request is not a JSON object"_s);
        break;
    case wire::Decoded::Message:
        handle(request);
        break;
    }
    if (session && !inTurn) {
        const auto took = Scheduler::Clock::now() - start;
        if (took < QuickRequest)
            m_server.servedQuickly();
        else
            rest(took);
    }
    flush();
    updateReading(); // the buffer may have been full
    scheduleTakeRequest();
}

void Connection::refuseRequest(const QString& text)
{
    if (!m_session) {
        refuseHello(wire::errorReply(wire::error::BadRequest, text), text);
        return;
    }
    m_log.write(u"%1 request refused: %2"_s.arg(who(), text));
    reply(wire::errorReply(wire::error::BadRequest, text));
}

void Connection::handle(const QJsonObject& request)
{
    if (!m_session) {
        reply(hello(request));
        return;
    }
    m_timer.start(m_server.limits().idleTimeout);
    if (const std::optional<QJsonObject> answer = m_session->handle(request))
        reply(*answer);
}

QJsonObject Connection::hello(const QJsonObject& request)
{
    const QString nameSpace = request.value(u"namespace"_s).toString();
    if (request.value(u"op"_s).toString() != u"hello"_s) {
        refuseHello(wire::errorReply(wire::error::BadRequest, u"the first request must be hello"_s), {});
        return {};
    }
    if (request.value(u"version"_s).toInt() != wire::Version) {
        refuseHello(wire::errorReply(wire::error::BadVersion,
                                     u"protocol version %1 not supported (server speaks %2)"_s
                                         .arg(request.value(u"version"_s).toInt())
                                         .arg(wire::Version)),
                    {});
        return {};
    }
    if (nameSpace.compare(u"VELDOR"_s, Qt::CaseInsensitive) != 0) {
        refuseHello(wire::errorReply(wire::error::BadNamespace,
                                     u"namespace '%1' does not exist"_s.arg(shortened(nameSpace))),
                    {});
        return {};
    }
    if (!m_server.takeLicence()) {
        refuseHello(wire::errorReply(wire::error::NoLicence,
                                     u"no free licence (%1 of %1 in use)"_s.arg(m_server.licences())),
                    {});
        return {};
    }
    m_holdsLicence = true;
    m_pending = false;
    m_server.pendingEnded(m_address);
    const Limits& limits = m_server.limits();
    m_session = std::make_unique<Session>(m_server.nextSessionId(), m_db, m_log, m_server.scheduler(),
                                          Session::Limits{limits.maxLocals, limits.maxErrorText},
                                          [this](const QJsonObject& late) {
                                              rest(m_server.limits().slice);
                                              reply(late);
                                              flush();
                                              m_timer.start(m_server.limits().idleTimeout);
                                              updateReading();
                                              scheduleTakeRequest();
                                          });
    m_timer.start(limits.idleTimeout);
    m_log.write(u"session %1 opened from %2 (licences in use %3 of %4)"_s.arg(m_session->id())
                    .arg(m_peer)
                    .arg(m_server.licencesInUse())
                    .arg(m_server.licences()));
    QJsonObject ok = wire::okReply();
    ok.insert(u"version"_s, wire::Version);
    ok.insert(u"session"_s, m_session->id());
    return ok;
}

void Connection::refuseHello(const QJsonObject& refusal, const QString& reason)
{
    const QString text = reason.isEmpty() ? refusal[u"error"_s][u"text"_s].toString() : reason;
    m_server.logRefusal(u"%1 refused: %2"_s.arg(m_peer, escapeForLog(text)));
    reply(refusal);
    drop(u"refused"_s);
}

void Connection::reply(const QJsonObject& message)
{
    if (message.isEmpty() || m_finished)
        return;
    QByteArray frame = wire::encodeFrame(message);
    if (frame.isEmpty()) {
        m_log.write(u"%1 reply larger than %2 bytes, answered with an error instead"_s.arg(who()).arg(
            wire::MaxFrameBytes));
        frame = wire::encodeFrame(
            wire::errorReply(wire::error::ReplyTooLarge,
                             u"the reply would be larger than %1 bytes"_s.arg(wire::MaxFrameBytes)));
    }
    m_output.append(frame);
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
    if (m_finished)
        return;
    m_writeNotifier.setEnabled(false);
    if (m_dropping)
        ::shutdown(m_socket.fd(), SHUT_WR); // the client reads its last reply, then sees the end
}

void Connection::onWritable()
{
    flush();
    scheduleTakeRequest();
}

void Connection::drop(const QString& reason)
{
    if (m_dropping || m_finished)
        return;
    m_dropping = true;
    m_input.clear();
    leaveTurn();
    const QString line = u"%1 dropped: %2"_s.arg(who(), reason);
    if (m_session)
        m_log.write(line);
    else
        m_server.logRefusal(line);
    endSession();
    // Closing at once could reset the connection before the client has read the reason; wait
    // for the client to close, but not for ever.
    m_timer.start(LingerMs);
    updateReading();
    flush();
}

void Connection::leaveTurn()
{
    if (m_turn)
        m_server.scheduler().cancel(std::exchange(m_turn, nullptr));
}

void Connection::endSession()
{
    if (m_session)
        m_session->cancel();
    if (!m_holdsLicence)
        return;
    m_holdsLicence = false;
    m_server.releaseLicence();
    m_log.write(u"session %1 closed (licences in use %2 of %3)"_s.arg(m_session->id())
                    .arg(m_server.licencesInUse())
                    .arg(m_server.licences()));
}

void Connection::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    leaveTurn();
    endSession();
    m_readNotifier.setEnabled(false);
    m_writeNotifier.setEnabled(false);
    m_timer.stop();
    deleteLater();
}

} // namespace veldor
