#include "platform/objfactory/tcp_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace objfactory {

void TcpStream::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void TcpStream::interrupt()
{
    m_interrupted = true;
}

std::optional<TcpStream> TcpStream::connect(const QString& host, quint16 port, Deadline deadline,
                                            QString& error, Status* failure,
                                            const std::atomic<bool>* interrupted)
{
    Status why = Status::Failed;
    const auto failed = [&] {
        if (failure)
            *failure = why;
        return std::nullopt;
    };
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const QByteArray service = QByteArray::number(port);
    const int rc = ::getaddrinfo(host.toUtf8().constData(), service.constData(), &hints, &found);
    if (rc != 0) {
        error = u"%1: %2"_s.arg(host, QString::fromLocal8Bit(::gai_strerror(rc)));
        return failed();
    }
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, &::freeaddrinfo);
    for (const addrinfo* a = addresses.get(); a; a = a->ai_next) {
        TcpStream stream(
            ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol));
        if (!stream.isOpen())
            continue;
        if (::connect(stream.m_fd, a->ai_addr, a->ai_addrlen) != 0) {
            if (errno != EINPROGRESS) {
                why = errno == ECONNREFUSED ? Status::Closed : Status::Failed;
                error = QString::fromLocal8Bit(std::strerror(errno));
                continue;
            }
            Status status = Status::Ok;
            if (!stream.waitFor(POLLOUT, deadline, status, interrupted)) {
                why = status == Status::Failed ? Status::Failed : status;
                error = status == Status::Timeout     ? u"connection timed out"_s
                        : status == Status::Cancelled ? u"connecting cancelled"_s
                                                      : u"connection failed"_s;
                if (status == Status::Cancelled)
                    break;
                continue;
            }
            int soError = 0;
            socklen_t length = sizeof soError;
            ::getsockopt(stream.m_fd, SOL_SOCKET, SO_ERROR, &soError, &length);
            if (soError != 0) {
                why = soError == ECONNREFUSED ? Status::Closed : Status::Failed;
                error = QString::fromLocal8Bit(std::strerror(soError));
                continue;
            }
        }
        const int one = 1;
        ::setsockopt(stream.m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        // Blocking from here on: reads wait with a receive timeout, sends pass MSG_DONTWAIT.
        ::fcntl(stream.m_fd, F_SETFL, ::fcntl(stream.m_fd, F_GETFL) & ~O_NONBLOCK);
        return stream;
    }
    if (error.isEmpty())
        error = u"no usable address"_s;
    return failed();
}

bool TcpStream::waitFor(short events, Deadline deadline, Status& status,
                        const std::atomic<bool>* interrupted) const
{
    for (;;) {
        if (interrupted && *interrupted) {
            status = Status::Cancelled;
            return false;
        }
        const int left = TcpStream::millisecondsUntil(deadline);
        pollfd p = {static_cast<int>(m_fd), events, 0};
        const int rc = ::poll(&p, 1, interrupted ? std::min(left, InterruptCheckMs) : left);
        if (rc > 0)
            return true;
        if (rc == 0 && TcpStream::millisecondsUntil(deadline) == 0) {
            status = Status::Timeout;
            return false;
        }
        if (rc == 0)
            continue;
        if (errno != EINTR) {
            status = Status::Failed;
            return false;
        }
    }
}

TcpStream::Status TcpStream::sendAll(const char* data, std::size_t size, Deadline deadline)
{
    while (size > 0) {
        const ssize_t sent = ::send(m_fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            data += sent;
            size -= static_cast<std::size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            Status status = Status::Ok;
            if (!waitFor(POLLOUT, deadline, status, &m_interrupted))
                return status;
            continue;
        }
        return errno == EPIPE || errno == ECONNRESET ? Status::Closed : Status::Failed;
    }
    return Status::Ok;
}

TcpStream::Status TcpStream::receive(char* buffer, std::size_t capacity, std::size_t& received,
                                     Deadline deadline)
{
    // A blocking read with a receive timeout costs one system call where poll and read cost two;
    // the timeout is only touched when the deadline has moved noticeably. It is cut into slices, so an
    // interruption is seen while waiting.
    for (;;) {
        if (m_interrupted)
            return Status::Cancelled;
        const int left = std::min(TcpStream::millisecondsUntil(deadline), InterruptCheckMs);
        if (left == 0)
            return Status::Timeout;
        if (std::abs(left - m_receiveTimeoutMs) > 50 || left < m_receiveTimeoutMs / 2) {
            timeval tv = {left / 1000, (left % 1000) * 1000};
            if (::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0)
                return Status::Failed;
            m_receiveTimeoutMs = left;
        }
        const ssize_t got = ::recv(m_fd, buffer, capacity, 0);
        if (got > 0) {
            received = static_cast<std::size_t>(got);
            return Status::Ok;
        }
        if (got == 0)
            return Status::Closed;
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
            continue;
        return errno == ECONNRESET ? Status::Closed : Status::Failed;
    }
}

bool TcpStream::peerGone() const
{
    if (m_fd < 0)
        return true;
    pollfd p = {static_cast<int>(m_fd), POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0)
        return false;
    if (p.revents & (POLLERR | POLLHUP | POLLNVAL))
        return true;
    char byte;
    const ssize_t got = ::recv(m_fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

} // namespace objfactory
