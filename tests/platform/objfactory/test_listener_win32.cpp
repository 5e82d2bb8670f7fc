#include "test_listener.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace objtest {
namespace {

SOCKET socketOf(std::intptr_t fd)
{
    return static_cast<SOCKET>(fd);
}

// Winsock for the listener, which may come before the stream under test has started it.
bool winsockStarted()
{
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

} // namespace

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
    qsizetype left = bytes.size();
    while (left > 0) {
        const int sent =
            ::send(socketOf(m_fd), data, static_cast<int>(std::min<qsizetype>(left, 1 << 20)), 0);
        if (sent <= 0)
            return false;
        data += sent;
        left -= sent;
    }
    return true;
}

QByteArray PeerSocket::receive(std::size_t size)
{
    QByteArray bytes;
    char buffer[65536];
    while (static_cast<std::size_t>(bytes.size()) < size) {
        const std::size_t want = std::min(sizeof buffer, size - static_cast<std::size_t>(bytes.size()));
        const int got = ::recv(socketOf(m_fd), buffer, static_cast<int>(want), 0);
        if (got <= 0)
            break;
        bytes.append(buffer, got);
    }
    return bytes;
}

void PeerSocket::close()
{
    if (m_fd != -1)
        ::closesocket(socketOf(m_fd));
    m_fd = -1;
}

Listener::Listener()
{
    if (!winsockStarted()) {
        m_error = u"Windows Sockets could not be started"_s;
        return;
    }
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (s == INVALID_SOCKET || ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(s, 8) != 0 || ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        m_error = u"socket error %1"_s.arg(::WSAGetLastError());
        if (s != INVALID_SOCKET)
            ::closesocket(s);
        return;
    }
    m_fd = static_cast<std::intptr_t>(s);
    m_port = ntohs(address.sin_port);
}

Listener::~Listener()
{
    close();
}

PeerSocket Listener::accept(std::chrono::milliseconds wait)
{
    WSAPOLLFD p = {socketOf(m_fd), POLLIN, 0};
    if (m_fd == -1 || ::WSAPoll(&p, 1, static_cast<int>(wait.count())) <= 0)
        return {};
    const SOCKET s = ::accept(socketOf(m_fd), nullptr, nullptr);
    return s == INVALID_SOCKET ? PeerSocket() : PeerSocket(static_cast<std::intptr_t>(s));
}

void Listener::close()
{
    if (m_fd != -1)
        ::closesocket(socketOf(m_fd));
    m_fd = -1;
}

} // namespace objtest
