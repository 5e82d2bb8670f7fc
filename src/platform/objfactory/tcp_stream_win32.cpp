#include "platform/objfactory/tcp_stream.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace objfactory {
namespace {

QString socketErrorText(int code)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString result = length ? QString::fromWCharArray(text, static_cast<qsizetype>(length)).trimmed()
                            : u"socket error %1"_s.arg(code);
    LocalFree(text);
    return result;
}

// Winsock is started once per process, on first use, and left running until the process ends.
bool winsockStarted()
{
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

SOCKET socketOf(std::intptr_t fd)
{
    return static_cast<SOCKET>(fd);
}

} // namespace

void TcpStream::close()
{
    if (m_fd >= 0)
        ::closesocket(socketOf(m_fd));
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
    if (!winsockStarted()) {
        error = u"Windows Sockets could not be started"_s;
        return failed();
    }
    ADDRINFOW hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    ADDRINFOW* found = nullptr;
    const std::wstring node = host.toStdWString();
    const std::wstring service = std::to_wstring(port);
    const int rc = ::GetAddrInfoW(node.c_str(), service.c_str(), &hints, &found);
    if (rc != 0) {
        error = u"%1: %2"_s.arg(host, socketErrorText(rc));
        return failed();
    }
    std::unique_ptr<ADDRINFOW, decltype(&::FreeAddrInfoW)> addresses(found, &::FreeAddrInfoW);
    for (const ADDRINFOW* a = addresses.get(); a; a = a->ai_next) {
        const SOCKET s = ::WSASocketW(a->ai_family, a->ai_socktype, a->ai_protocol, nullptr, 0,
                                      WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
        if (s == INVALID_SOCKET)
            continue;
        TcpStream stream(static_cast<std::intptr_t>(s));
        // Non-blocking for good: every wait goes through WSAPoll with the deadline.
        u_long nonBlocking = 1;
        if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0)
            continue;
        if (::connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0) {
            const int code = ::WSAGetLastError();
            if (code != WSAEWOULDBLOCK) {
                why = code == WSAECONNREFUSED ? Status::Closed : Status::Failed;
                error = socketErrorText(code);
                continue;
            }
            Status status = Status::Ok;
            if (!stream.waitFor(POLLOUT, deadline, status, interrupted)) {
                if (status == Status::Cancelled) {
                    why = Status::Cancelled;
                    error = u"connecting cancelled"_s;
                    break;
                }
                // A refused connect shows as an error event; SO_ERROR tells which.
                int soError = 0;
                int length = sizeof soError;
                ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &length);
                why = status == Status::Timeout    ? Status::Timeout
                      : soError == WSAECONNREFUSED ? Status::Closed
                                                   : Status::Failed;
                error = status == Status::Timeout ? u"connection timed out"_s
                        : soError != 0            ? socketErrorText(soError)
                                                  : u"connection failed"_s;
                continue;
            }
            int soError = 0;
            int length = sizeof soError;
            ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &length);
            if (soError != 0) {
                why = soError == WSAECONNREFUSED ? Status::Closed : Status::Failed;
                error = socketErrorText(soError);
                continue;
            }
        }
        const BOOL one = TRUE;
        ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
        return stream;
    }
    if (error.isEmpty())
        error = u"no usable address"_s;
    return failed();
}

bool TcpStream::waitFor(short events, Deadline deadline, Status& status,
                        const std::atomic<bool>* interrupted) const
{
    WSAPOLLFD p = {socketOf(m_fd), events, 0};
    int rc = 0;
    for (;;) {
        if (interrupted && *interrupted) {
            status = Status::Cancelled;
            return false;
        }
        const int left = TcpStream::millisecondsUntil(deadline);
        rc = ::WSAPoll(&p, 1, interrupted ? std::min(left, InterruptCheckMs) : left);
        if (rc != 0 || TcpStream::millisecondsUntil(deadline) == 0)
            break;
    }
    if (rc > 0) {
        // A refused connect shows as an error event, not as writable.
        if ((events & POLLOUT) && (p.revents & (POLLERR | POLLHUP)) && !(p.revents & POLLOUT)) {
            status = Status::Failed;
            return false;
        }
        return true;
    }
    status = rc == 0 ? Status::Timeout : Status::Failed;
    return false;
}

TcpStream::Status TcpStream::sendAll(const char* data, std::size_t size, Deadline deadline)
{
    while (size > 0) {
        const int chunk = static_cast<int>(std::min<std::size_t>(size, 1 << 20));
        const int sent = ::send(socketOf(m_fd), data, chunk, 0);
        if (sent > 0) {
            data += sent;
            size -= static_cast<std::size_t>(sent);
            continue;
        }
        const int code = ::WSAGetLastError();
        if (sent < 0 && code == WSAEWOULDBLOCK) {
            Status status = Status::Ok;
            if (!waitFor(POLLOUT, deadline, status, &m_interrupted))
                return status;
            continue;
        }
        return code == WSAECONNRESET || code == WSAECONNABORTED || code == WSAESHUTDOWN ? Status::Closed
                                                                                        : Status::Failed;
    }
    return Status::Ok;
}

TcpStream::Status TcpStream::receive(char* buffer, std::size_t capacity, std::size_t& received,
                                     Deadline deadline)
{
    const int chunk = static_cast<int>(std::min<std::size_t>(capacity, 1 << 20));
    for (;;) {
        if (m_interrupted)
            return Status::Cancelled;
        const int got = ::recv(socketOf(m_fd), buffer, chunk, 0);
        if (got > 0) {
            received = static_cast<std::size_t>(got);
            return Status::Ok;
        }
        if (got == 0)
            return Status::Closed;
        const int code = ::WSAGetLastError();
        if (code != WSAEWOULDBLOCK)
            return code == WSAECONNRESET || code == WSAECONNABORTED ? Status::Closed : Status::Failed;
        if (TcpStream::millisecondsUntil(deadline) == 0)
            return Status::Timeout;
        Status status = Status::Ok;
        if (!waitFor(POLLIN, deadline, status, &m_interrupted))
            return status;
    }
}

bool TcpStream::peerGone() const
{
    if (m_fd < 0)
        return true;
    WSAPOLLFD p = {socketOf(m_fd), POLLIN, 0};
    if (::WSAPoll(&p, 1, 0) <= 0)
        return false;
    if (p.revents & (POLLERR | POLLHUP | POLLNVAL))
        return true;
    char byte;
    const int got = ::recv(socketOf(m_fd), &byte, 1, MSG_PEEK);
    return got == 0 || (got < 0 && ::WSAGetLastError() != WSAEWOULDBLOCK);
}

} // namespace objfactory
