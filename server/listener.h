#pragma once

#include "log.h"

#include <QHostAddress>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

namespace veldor {

// The listening socket. Hands each accepted socket over as a plain descriptor: the connections
// drive their sockets themselves, which keeps a request's round trip to one read and one write.
// Out of descriptors (or kernel memory), accepting pauses for a while instead of being retried
// at once: the waiting connection stays ready, so retrying at once would only spin.
class Listener final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Listener)

public:
    Listener(std::function<void(int descriptor)> accepted, Log& log, std::chrono::milliseconds pause,
             QObject* parent = nullptr);
    ~Listener() override;

    bool listen(const QHostAddress& address, quint16 port, QString& error);
    QHostAddress address() const { return m_address; }
    quint16 port() const { return m_port; }

    // Connections taken per wake-up at most, so a flood of them cannot starve the clients.
    static constexpr int AcceptsPerTurn = 32;

private:
    void onReadable();
    void pause(int error);

    std::function<void(int)> m_accepted;
    Log& m_log;
    std::chrono::milliseconds m_pause;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_resume;
    QHostAddress m_address;
    quint16 m_port = 0;
    int m_pauses = 0; // since accepting last worked
};

} // namespace veldor
