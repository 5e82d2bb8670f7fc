#pragma once

#include <QString>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace objfactory {

using Deadline = std::chrono::steady_clock::time_point;

// A connected TCP socket with deadlines on every wait; closes its handle when destroyed.
class TcpStream final
{
public:
    TcpStream() = default;
    ~TcpStream();
    TcpStream(TcpStream&& other) noexcept;
    TcpStream& operator=(TcpStream&& other) noexcept;
    TcpStream(const TcpStream&) = delete;
    TcpStream& operator=(const TcpStream&) = delete;

    enum class Status
    {
        Ok,
        Closed,    // the peer closed the connection
        Timeout,   // the deadline passed
        Failed,    // a socket error
        Cancelled, // interrupted while waiting
    };

    // On failure error says why, and failure (if given) is Timeout when the deadline passed, Closed when
    // the connection was refused, Cancelled once *interrupted was set (from any thread), Failed otherwise
    // (no such host, no route, ...).
    static std::optional<TcpStream> connect(const QString& host, quint16 port, Deadline deadline,
                                            QString& error, Status* failure = nullptr,
                                            const std::atomic<bool>* interrupted = nullptr);

    Status sendAll(const char* data, std::size_t size, Deadline deadline);
    // Reads what is available (at least one byte) into buffer; received is set on Ok.
    Status receive(char* buffer, std::size_t capacity, std::size_t& received, Deadline deadline);
    // True when the peer has closed or the socket has failed, found without blocking.
    bool peerGone() const;

    bool isOpen() const { return m_fd >= 0; }
    void close();

    // From any thread: the send or receive under way, and every one after, ends with Cancelled. The
    // connection is of no further use then.
    void interrupt();

private:
    explicit TcpStream(std::intptr_t fd) : m_fd(fd) {}
    // interrupted: checked at least every InterruptCheckMs while waiting.
    bool waitFor(short events, Deadline deadline, Status& status,
                 const std::atomic<bool>* interrupted = nullptr) const;
    static constexpr int InterruptCheckMs = 100;
    // Milliseconds left before deadline, 0 once it has passed.
    static int millisecondsUntil(Deadline deadline);

    std::intptr_t m_fd = -1;    // a file descriptor, or a SOCKET (INVALID_SOCKET is -1 here too)
    int m_receiveTimeoutMs = 0; // SO_RCVTIMEO as last set; 0 is "wait for ever", never wanted
    std::atomic<bool> m_interrupted{false};
};

} // namespace objfactory
