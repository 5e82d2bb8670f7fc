#include "server.h"

#include "connection.h"
#include "platform/wire/wire.h"

#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace veldor {
namespace {

// The client's address, an IPv4 client on an IPv6 socket written as IPv4, so both count as one.
QString peerAddress(int fd)
{
    sockaddr_storage address = {};
    socklen_t length = sizeof address;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return {};
    const QHostAddress host(reinterpret_cast<sockaddr*>(&address));
    bool isV4 = false;
    const quint32 v4 = host.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : host.toString();
}

} // namespace

Server::Server(Database& db, Log& log, int licences, const Limits& limits, QObject* parent)
    : QObject(parent), m_db(db), m_log(log), m_limits(limits),
      m_scheduler({limits.maxRequestWork, limits.maxRequestTime, limits.slice, limits.heavyShare}),
      m_listener([this](int fd) { accept(fd); }, log, limits.acceptPause), m_licences(licences)
{
    m_scheduler.setActivity([this] { return m_quickRequests; });
    m_refusalQuiet.setSingleShot(true);
    m_refusalQuiet.setInterval(RefusalQuietMs);
    connect(&m_refusalQuiet, &QTimer::timeout, this, &Server::endRefusals);
    m_refusalMinute.setSingleShot(true);
    m_refusalMinute.setInterval(60000);
    connect(&m_refusalMinute, &QTimer::timeout, this, [this] {
        if (m_refusalsUnlogged > 0)
            m_log.write(
                u"%1 more refusals in the last minute, not logged one by one"_s.arg(m_refusalsUnlogged));
        m_refusalsLogged = 0;
        m_refusalsUnlogged = 0;
    });
}

Server::~Server()
{
    // Connections give their licence back to this object, so they must go before its members do.
    const auto connections = findChildren<Connection*>(Qt::FindDirectChildrenOnly);
    for (Connection* connection : connections)
        delete connection;
    endRefusals();
    if (m_refusalsUnlogged > 0)
        m_log.write(u"%1 more refusals, not logged one by one"_s.arg(m_refusalsUnlogged));
}

bool Server::listen(const QHostAddress& address, quint16 port, QString& error)
{
    return m_listener.listen(address, port, error);
}

void Server::accept(int descriptor)
{
    if (m_connections >= m_limits.maxConnections) {
        refuse(descriptor);
        return;
    }
    // One address opening connections and never saying hello must not take everybody's slots.
    const QString address = peerAddress(descriptor);
    int& pending = m_pendingByAddress[address];
    if (pending >= m_limits.maxPendingPerAddress) {
        refuseCrowded(descriptor, address);
        return;
    }
    ++pending;
    ++m_connections;
    // The connection deletes itself once its socket has gone; the parent link covers shutdown.
    auto* connection = new Connection(descriptor, *this, m_db, m_log, address);
    connection->setParent(this);
}

void Server::pendingEnded(const QString& address)
{
    const auto it = m_pendingByAddress.find(address);
    if (it != m_pendingByAddress.end() && --*it <= 0)
        m_pendingByAddress.erase(it);
}

void Server::sendRefusal(int descriptor, const QByteArray& frame)
{
    // Told why, as far as the socket takes it at once; never waited for.
    (void)!::send(descriptor, frame.constData(), frame.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    ::shutdown(descriptor, SHUT_WR);
    ::close(descriptor);
}

void Server::refuseCrowded(int descriptor, const QString& address)
{
    static const QByteArray frame = wire::encodeFrame(
        wire::errorReply(wire::error::TooManyConnections,
                         u"too many connections from your address before their hello; try again later"_s));
    sendRefusal(descriptor, frame);
    logRefusal(u"%1 refused: %2 connections from it before their hello"_s.arg(address).arg(
        m_limits.maxPendingPerAddress));
}

void Server::refuse(int descriptor)
{
    static const QByteArray frame = wire::encodeFrame(wire::errorReply(
        wire::error::TooManyConnections, u"the server has too many connections; try again later"_s));
    sendRefusal(descriptor, frame);
    if (m_refused++ == 0)
        m_log.write(
            u"connection limit of %1 reached: refusing new connections (counted, not logged one by one)"_s
                .arg(m_limits.maxConnections));
    m_refusalQuiet.start();
}

void Server::endRefusals()
{
    if (m_refused == 0)
        return;
    m_log.write(u"connection limit: %1 connections refused"_s.arg(m_refused));
    m_refused = 0;
}

void Server::logRefusal(const QString& line)
{
    if (!m_refusalMinute.isActive())
        m_refusalMinute.start();
    if (m_refusalsLogged < RefusalsLoggedPerMinute) {
        ++m_refusalsLogged;
        m_log.write(line);
    } else {
        ++m_refusalsUnlogged;
    }
}

bool Server::takeLicence()
{
    if (m_licencesInUse >= m_licences)
        return false;
    ++m_licencesInUse;
    return true;
}

void Server::releaseLicence()
{
    --m_licencesInUse;
}

} // namespace veldor
