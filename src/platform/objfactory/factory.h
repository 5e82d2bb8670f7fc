#pragma once

#include "platform/objfactory/channel.h"
#include "platform/objfactory/server_error.h"

#include <QString>

#include <memory>
#include <optional>

namespace objfactory {

// A property or return value; no value stands for a server value without one (null).
using Value = std::optional<QString>;

// An object obtained through the factory: a stored object opened by id, or a class object whose
// class methods can be called. Members are bound late, by name. A default-made object is the
// empty reference.
class ServerObject final
{
public:
    ServerObject() = default;

    bool isNull() const { return !m_channel; }
    Value property(const QString& name) const;
    Value call(const QString& method, const Value& argument) const;
    // Releases the object on the server; the reference is empty afterwards.
    void SYS_Close();

private:
    friend class Factory;
    ServerObject(std::shared_ptr<Channel> channel, int handle)
        : m_channel(std::move(channel)), m_handle(handle)
    {}
    Channel& channel() const;

    std::shared_ptr<Channel> m_channel;
    int m_handle = 0;
};

// The object the program makes from the ProgID "CacheObject.Factory": one connection to the server.
class Factory final
{
public:
    // runner: how the blocking exchanges are run (see StepRunner); by default in place.
    explicit Factory(Timeouts timeouts = {}, StepRunner runner = {})
        : m_timeouts(timeouts), m_runner(std::move(runner))
    {}

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

    // Why the last Connect failed, as the user is told it.
    enum class Failure
    {
        None,
        BadAddress, // the connect string does not parse
        Refused,    // nothing listens at that address and port
        TimedOut,   // no answer in time
        NoLicence,  // the server has no licence free
        Busy,       // the server takes no more connections now
        Cancelled,  // the user stopped waiting
        Other,      // lastError() says what
    };
    Failure lastFailure() const { return m_lastFailure; }

private:
    Channel& channel() const;

    Timeouts m_timeouts;
    StepRunner m_runner;
    std::shared_ptr<Channel> m_channel;
    bool m_everConnected = false;
    QString m_lastError;
    Failure m_lastFailure = Failure::None;
};

} // namespace objfactory
