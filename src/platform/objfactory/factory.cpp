#include "platform/objfactory/factory.h"

#include "platform/objfactory/connect_string.h"
#include "platform/wire/wire.h"

#include <QJsonArray>
#include <QJsonObject>

using namespace Qt::Literals::StringLiterals;

namespace objfactory {
namespace {

Value toValue(const QJsonValue& v)
{
    if (v.isNull() || v.isUndefined())
        return std::nullopt;
    if (v.isDouble())
        return QString::number(v.toDouble());
    return v.toString();
}

Error noConnection()
{
    return Error(wire::error::NotConnected, u"Keine Verbindung zum Server"_s);
}

} // namespace

bool Factory::Connect(QString& connectString)
{
    m_everConnected = true;
    Disconnect();
    const auto target = parseConnectString(connectString);
    if (!target) {
        m_lastError = u"Ungültiger Verbindungstext: %1"_s.arg(connectString);
        m_lastFailure = Failure::BadAddress;
        return false;
    }
    const QString awaiting = awaitingServer(target->host, target->port);
    const Deadline deadline = std::chrono::steady_clock::now() + m_timeouts.connect;
    TcpStream::Status why = TcpStream::Status::Failed;
    std::optional<TcpStream> stream;
    std::atomic<bool> cancelled{false};
    const auto connect = [&] {
        stream = TcpStream::connect(target->host, target->port, deadline, m_lastError, &why, &cancelled);
    };
    if (m_runner)
        m_runner(awaiting, connect, [&cancelled] { cancelled = true; });
    else
        connect();
    if (!stream) {
        m_lastFailure = why == TcpStream::Status::Timeout     ? Failure::TimedOut
                        : why == TcpStream::Status::Closed    ? Failure::Refused
                        : why == TcpStream::Status::Cancelled ? Failure::Cancelled
                                                              : Failure::Other;
        return false;
    }
    auto channel = std::make_shared<Channel>(std::move(*stream), m_timeouts, m_runner, awaiting);
    try {
        channel->request(QJsonObject{
            {u"op"_s, u"hello"_s}, {u"version"_s, wire::Version}, {u"namespace"_s, target->nameSpace}});
    } catch (const Error& e) {
        m_lastError = e.description();
        m_lastFailure = channel->cancelled()                            ? Failure::Cancelled
                        : e.number() == wire::error::Timeout            ? Failure::TimedOut
                        : e.number() == wire::error::NoLicence          ? Failure::NoLicence
                        : e.number() == wire::error::TooManyConnections ? Failure::Busy
                                                                        : Failure::Other;
        return false;
    }
    m_channel = std::move(channel);
    m_lastError.clear();
    m_lastFailure = Failure::None;
    return true;
}

void Factory::Disconnect()
{
    if (m_channel)
        m_channel->close();
    m_channel.reset();
}

bool Factory::IsConnected() const
{
    if (!m_everConnected)
        throw noConnection();
    return m_channel && m_channel->alive();
}

Channel& Factory::channel() const
{
    if (!m_channel || !m_channel->isOpen())
        throw noConnection();
    return *m_channel;
}

ServerObject Factory::OpenId(const QString& className, const QString& id)
{
    const QJsonObject reply =
        channel().request(QJsonObject{{u"op"_s, u"open"_s}, {u"class"_s, className}, {u"id"_s, id}});
    return ServerObject(m_channel, reply.value(u"handle"_s).toInt());
}

ServerObject Factory::ClassObject(const QString& className)
{
    const QJsonObject reply =
        channel().request(QJsonObject{{u"op"_s, u"classobj"_s}, {u"class"_s, className}});
    return ServerObject(m_channel, reply.value(u"handle"_s).toInt());
}

Channel& ServerObject::channel() const
{
    if (!m_channel)
        throw Error(wire::error::InvalidHandle, u"Objektvariable nicht festgelegt"_s);
    return *m_channel;
}

Value ServerObject::property(const QString& name) const
{
    const QJsonObject reply =
        channel().request(QJsonObject{{u"op"_s, u"get"_s}, {u"handle"_s, m_handle}, {u"name"_s, name}});
    return toValue(reply.value(u"value"_s));
}

Value ServerObject::call(const QString& method, const Value& argument) const
{
    const QJsonValue arg = argument ? QJsonValue(*argument) : QJsonValue(QJsonValue::Null);
    const QJsonObject reply = channel().request(QJsonObject{
        {u"op"_s, u"call"_s}, {u"handle"_s, m_handle}, {u"name"_s, method}, {u"args"_s, QJsonArray{arg}}});
    return toValue(reply.value(u"value"_s));
}

void ServerObject::SYS_Close()
{
    channel();
    const std::shared_ptr<Channel> c = std::move(m_channel);
    c->request(QJsonObject{{u"op"_s, u"close"_s}, {u"handle"_s, m_handle}});
}

} // namespace objfactory
