#pragma once

#include <QTcpServer>

#include <functional>

namespace veldor {

// Hands each accepted socket over as a plain descriptor: the connections drive their sockets
// themselves, which keeps a request's round trip to one read and one write.
class Listener final : public QTcpServer
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Listener)

public:
    explicit Listener(std::function<void(qintptr)> accepted, QObject* parent = nullptr)
        : QTcpServer(parent), m_accepted(std::move(accepted))
    {}

protected:
    void incomingConnection(qintptr descriptor) override { m_accepted(descriptor); }

private:
    std::function<void(qintptr)> m_accepted;
};

} // namespace veldor
