#pragma once

#include "platform/objfactory/backend.h"
#include "platform/objfactory/channel.h"

#include <memory>

namespace objfactory::detail {

// The connection over our own wire protocol, as veldor-server speaks it.
class WireFactory final : public FactoryBackend
{
public:
    WireFactory(Timeouts timeouts, StepRunner runner) : m_timeouts(timeouts), m_runner(std::move(runner)) {}

    bool connect(QString& connectString, QString& error, ConnectFailure& failure) override;
    void disconnect() override;
    bool isConnected() override;
    std::shared_ptr<ObjectBackend> openId(const QString& className, const QString& id) override;
    std::shared_ptr<ObjectBackend> classObject(const QString& className) override;

private:
    Channel& channel() const;

    Timeouts m_timeouts;
    StepRunner m_runner;
    std::shared_ptr<Channel> m_channel;
    bool m_everConnected = false;
};

} // namespace objfactory::detail
