#pragma once

#include "platform/objfactory/backend.h"
#include "platform/objfactory/channel.h"
#include "platform/objfactory/server_error.h"

#include <QString>

#include <memory>
#include <optional>

namespace objfactory {

// An object obtained through the factory: a stored object opened by id, or a class object whose
// class methods can be called. Members are bound late, by name. A default-made object is the
// empty reference.
class ServerObject final
{
public:
    ServerObject() = default;
    explicit ServerObject(std::shared_ptr<detail::ObjectBackend> object) : m_object(std::move(object)) {}

    bool isNull() const { return !m_object; }
    Value property(const QString& name) const;
    Value call(const QString& method, const Value& argument) const;
    // A variable is passed by reference, as the old callers passed one: the server may change it.
    Value call(const QString& method, QString& argument) const;
    // Releases the object on the server; the reference is empty afterwards.
    void SYS_Close();

private:
    detail::ObjectBackend& object() const;

    std::shared_ptr<detail::ObjectBackend> m_object;
};

// How the factory reaches the server: our own wire protocol to veldor-server, or the vendor's COM
// component registered under the ProgID (Windows only).
enum class Transport
{
    Wire,
    Com,
};

// The transport the program uses on this platform.
Transport programTransport();

// The object the program makes from the ProgID "CacheObject.Factory": one connection to the server.
class Factory final
{
public:
    // runner: how the blocking exchanges are run (see StepRunner); by default in place.
    explicit Factory(Timeouts timeouts = {}, StepRunner runner = {})
        : Factory(Transport::Wire, timeouts, std::move(runner))
    {}
    Factory(Transport transport, Timeouts timeouts = {}, StepRunner runner = {});
    ~Factory();
    Factory(const Factory&) = delete;
    Factory& operator=(const Factory&) = delete;

    static constexpr auto ProgId = "CacheObject.Factory";

    // Connects with "cn_iptcp:ADDRESS[PORT]:NAMESPACE". False when the text does not parse, the
    // server cannot be reached, or it refuses the session (no free licence); lastError() says why.
    bool Connect(QString& connectString);
    void Disconnect();
    // Raises an error before the first Connect; false once the server has gone away.
    bool IsConnected() const;

    ServerObject OpenId(const QString& className, const QString& id);
    ServerObject ClassObject(const QString& className);

    const QString& lastError() const { return m_lastError; }

    // Why the last Connect failed, as the user is told it:
    // None; BadAddress (the connect string does not parse); Refused (nothing listens at that address
    // and port); TimedOut (no answer in time); NoLicence (the server has no licence free); Busy (the
    // server takes no more connections now); Cancelled (the user stopped waiting); Other (lastError()
    // says what).
    using Failure = detail::ConnectFailure;
    Failure lastFailure() const { return m_lastFailure; }

private:
    std::unique_ptr<detail::FactoryBackend> m_backend;
    QString m_lastError;
    Failure m_lastFailure = Failure::None;
};

} // namespace objfactory
