#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace objfactory {

using Value = std::optional<QString>;

namespace detail {

// One server object as a transport holds it (a handle on the wire, an IDispatch through COM).
class ObjectBackend
{
public:
    virtual ~ObjectBackend() = default;
    virtual Value property(const QString& name) = 0;
    virtual Value call(const QString& method, const Value& argument) = 0;
    // The argument goes by reference: what the server leaves in it comes back in argument.
    virtual Value callByReference(const QString& method, QString& argument) = 0;
    virtual void close() = 0;
};

// Why a connect failed, in the terms of Factory::Failure (kept apart so this header needs no Factory).
enum class ConnectFailure
{
    None,
    BadAddress,
    Refused,
    TimedOut,
    NoLicence,
    Busy,
    Cancelled,
    Other,
};

// One connection as a transport makes it.
class FactoryBackend
{
public:
    virtual ~FactoryBackend() = default;
    // False on failure, with error and failure saying why.
    virtual bool connect(QString& connectString, QString& error, ConnectFailure& failure) = 0;
    // Never raises.
    virtual void disconnect() = 0;
    // Raises before the first connect.
    virtual bool isConnected() = 0;
    virtual std::shared_ptr<ObjectBackend> openId(const QString& className, const QString& id) = 0;
    virtual std::shared_ptr<ObjectBackend> classObject(const QString& className) = 0;
};

} // namespace detail
} // namespace objfactory
