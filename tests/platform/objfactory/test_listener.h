#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace objtest {

// The far end of a connection, with plain blocking calls, so a test sees the stream under test from
// outside. Closes its socket when destroyed.
class PeerSocket final
{
public:
    PeerSocket() = default;
    ~PeerSocket();
    PeerSocket(PeerSocket&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    PeerSocket& operator=(PeerSocket&& other) noexcept;
    PeerSocket(const PeerSocket&) = delete;
    PeerSocket& operator=(const PeerSocket&) = delete;

    bool isOpen() const { return m_fd != -1; }
    bool sendAll(const QByteArray& bytes);
    // Reads until size bytes have come or the peer has closed or failed.
    QByteArray receive(std::size_t size);
    void close();

private:
    friend class Listener;
    explicit PeerSocket(std::intptr_t fd) : m_fd(fd) {}

    std::intptr_t m_fd = -1;
};

// A listening socket on 127.0.0.1 and a free port.
class Listener final
{
public:
    Listener();
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    bool isListening() const { return m_fd != -1; }
    quint16 port() const { return m_port; }
    const QString& error() const { return m_error; }
    // The next connection; a closed socket when none came within the wait.
    PeerSocket accept(std::chrono::milliseconds wait = std::chrono::seconds(10));
    // Stops listening; the port refuses connections from then on.
    void close();

private:
    std::intptr_t m_fd = -1;
    quint16 m_port = 0;
    QString m_error;
};

} // namespace objtest
