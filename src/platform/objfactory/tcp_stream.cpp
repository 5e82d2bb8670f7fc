// What the platforms' streams share: ownership of the handle and the deadline arithmetic.
#include "platform/objfactory/tcp_stream.h"

#include <algorithm>

namespace objfactory {

TcpStream::~TcpStream()
{
    close();
}

TcpStream::TcpStream(TcpStream&& other) noexcept
    : m_fd(other.m_fd), m_receiveTimeoutMs(other.m_receiveTimeoutMs),
      m_interrupted(other.m_interrupted.load())
{
    other.m_fd = -1;
}

TcpStream& TcpStream::operator=(TcpStream&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        m_receiveTimeoutMs = other.m_receiveTimeoutMs;
        m_interrupted = other.m_interrupted.load();
        other.m_fd = -1;
    }
    return *this;
}

int TcpStream::millisecondsUntil(Deadline deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() <= 0 ? 0 : static_cast<int>(std::min<long long>(left.count(), 1'000'000));
}

} // namespace objfactory
