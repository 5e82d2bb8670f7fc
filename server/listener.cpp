#include "listener.h"

#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace veldor {
namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Errors that concern only the connection being accepted: it is gone, the next may be fine.
bool connectionError(int error)
{
    switch (error) {
    case ECONNABORTED:
    case EPROTO:
    case EPERM:
    case ENETDOWN:
    case ENOPROTOOPT:
    case EHOSTDOWN:
    case ENONET:
    case EHOSTUNREACH:
    case EOPNOTSUPP:
    case ENETUNREACH:
    case ETIMEDOUT:
        return true;
    default:
        return false;
    }
}

} // namespace

Listener::Listener(std::function<void(int)> accepted, Log& log, std::chrono::milliseconds pause,
                   QObject* parent)
    : QObject(parent), m_accepted(std::move(accepted)), m_log(log), m_pause(pause)
{
    m_resume.setSingleShot(true);
    connect(&m_resume, &QTimer::timeout, this, [this] {
        if (m_notifier)
            m_notifier->setEnabled(true);
    });
}

Listener::~Listener()
{
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

bool Listener::listen(const QHostAddress& address, quint16 port, QString& error)
{
    const auto fail = [&](const QString& what) {
        error = u"cannot listen on %1:%2: %3"_s.arg(address.toString()).arg(port).arg(what);
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        return false;
    };
    sockaddr_storage storage = {};
    socklen_t length = 0;
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        auto* in = reinterpret_cast<sockaddr_in*>(&storage);
        in->sin_family = AF_INET;
        in->sin_port = htons(port);
        in->sin_addr.s_addr = htonl(address.toIPv4Address());
        length = sizeof *in;
    } else {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, &bytes, sizeof bytes);
        in6->sin6_scope_id = address.scopeId().toUInt();
        length = sizeof *in6;
    }
    m_fd = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return fail(systemError(errno));
    const int one = 1;
    ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&storage), length) != 0 || ::listen(m_fd, SOMAXCONN) != 0)
        return fail(systemError(errno));
    length = sizeof storage;
    if (::getsockname(m_fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0)
        return fail(systemError(errno));
    m_address = QHostAddress(reinterpret_cast<sockaddr*>(&storage));
    m_port = ntohs(storage.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port
                                                 : reinterpret_cast<sockaddr_in*>(&storage)->sin_port);
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &Listener::onReadable);
    return true;
}

void Listener::onReadable()
{
    for (int i = 0; i < AcceptsPerTurn; ++i) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            if (m_pauses > 0) {
                m_log.write(u"accepting connections again (paused %1 times)"_s.arg(m_pauses));
                m_pauses = 0;
            }
            m_accepted(fd);
            continue;
        }
        const int error = errno;
        if (error == EAGAIN || error == EWOULDBLOCK)
            return;
        if (error == EINTR || connectionError(error))
            continue;
        pause(error);
        return;
    }
}

void Listener::pause(int error)
{
    if (m_pauses++ == 0) {
        m_log.write(
            u"cannot accept connections: %1; retrying every %2 ms until it works"_s.arg(systemError(error))
                .arg(m_pause.count()));
    }
    m_notifier->setEnabled(false);
    m_resume.start(m_pause);
}

} // namespace veldor
