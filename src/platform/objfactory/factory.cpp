#include "platform/objfactory/factory.h"

#include "platform/objfactory/transport.h"
#include "platform/objfactory/wire_backend.h"
#include "platform/wire/wire.h"

using namespace Qt::Literals::StringLiterals;

namespace objfactory {

Factory::Factory(Transport transport, Timeouts timeouts, StepRunner runner)
    : m_backend(transport == Transport::Com
                    ? detail::makeComBackend(timeouts, std::move(runner))
                    : std::make_unique<detail::WireFactory>(timeouts, std::move(runner)))
{}

Factory::~Factory() = default;

bool Factory::Connect(QString& connectString)
{
    return m_backend->connect(connectString, m_lastError, m_lastFailure);
}

void Factory::Disconnect()
{
    m_backend->disconnect();
}

bool Factory::IsConnected() const
{
    return m_backend->isConnected();
}

ServerObject Factory::OpenId(const QString& className, const QString& id)
{
    return ServerObject(m_backend->openId(className, id));
}

ServerObject Factory::ClassObject(const QString& className)
{
    return ServerObject(m_backend->classObject(className));
}

detail::ObjectBackend& ServerObject::object() const
{
    if (!m_object)
        throw Error(wire::error::InvalidHandle, u"Objektvariable nicht festgelegt"_s);
    return *m_object;
}

Value ServerObject::property(const QString& name) const
{
    return object().property(name);
}

Value ServerObject::call(const QString& method, const Value& argument) const
{
    return object().call(method, argument);
}

Value ServerObject::call(const QString& method, QString& argument) const
{
    return object().callByReference(method, argument);
}

void ServerObject::SYS_Close()
{
    object();
    const std::shared_ptr<detail::ObjectBackend> o = std::move(m_object);
    o->close();
}

} // namespace objfactory
