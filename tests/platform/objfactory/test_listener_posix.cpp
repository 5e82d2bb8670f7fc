#include "test_listener.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace objtest {

PeerSocket::~PeerSocket()
{
    close();
}

PeerSocket& PeerSocket::operator=(PeerSocket&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

bool PeerSocket::sendAll(const QByteArray& bytes)
{
    const char* data = bytes.constData();
    std::size_t left = static_cast<std::size_t>(bytes.size());
    while (left > 0) {
        const ssize_t sent = ::send(static_cast<int>(m_fd), data, left, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        left -= static_cast<std::size_t>(sent);
    }
    return true;
}

QByteArray PeerSocket::receive(std::size_t size)
{
    QByteArray bytes;
    char buffer[65536];
    while (static_cast<std::size_t>(bytes.size()) < size) {
        const std::size_t want = std::min(sizeof buffer, size - static_cast<std::size_t>(bytes.size()));
        const ssize_t got = ::recv(static_cast<int>(m_fd), buffer, want, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        bytes.append(buffer, got);
    }
    return bytes;
}

void PeerSocket::close()
{
    if (m_fd != -1)
        ::close(static_cast<int>(m_fd));
    m_fd = -1;
}

Listener::Listener()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 8) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        return;
    }
    m_fd = fd;
    m_port = ntohs(address.sin_port);
}

Listener::~Listener()
{
    close();
}

PeerSocket Listener::accept(std::chrono::milliseconds wait)
{
    pollfd p = {static_cast<int>(m_fd), POLLIN, 0};
    if (m_fd == -1 || ::poll(&p, 1, static_cast<int>(wait.count())) <= 0)
        return {};
    const int fd = ::accept4(static_cast<int>(m_fd), nullptr, nullptr, SOCK_CLOEXEC);
    return fd < 0 ? PeerSocket() : PeerSocket(fd);
}

void Listener::close()
{
    if (m_fd != -1)
        ::close(static_cast<int>(m_fd));
    m_fd = -1;
}

} // namespace objtest
