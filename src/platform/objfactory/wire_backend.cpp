#include "platform/objfactory/wire_backend.h"

#include "platform/objfactory/connect_string.h"
#include "platform/objfactory/server_error.h"
#include "platform/wire/wire.h"

#include <QJsonArray>
#include <QJsonObject>

using namespace Qt::Literals::StringLiterals;

namespace objfactory::detail {
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

// A handle on the server, shared by every copy of the object; the channel is shared with the factory,
// so an object outliving a disconnect reports it instead of crashing.
class WireObject final : public ObjectBackend
{
public:
    WireObject(std::shared_ptr<Channel> channel, int handle) : m_channel(std::move(channel)), m_handle(handle)
    {}

    Value property(const QString& name) override
    {
        const QJsonObject reply =
            m_channel->request(QJsonObject{{u"op"_s, u"get"_s}, {u"handle"_s, m_handle}, {u"name"_s, name}});
        return toValue(reply.value(u"value"_s));
    }

    Value call(const QString& method, const Value& argument) override
    {
        const QJsonValue arg = argument ? QJsonValue(*argument) : QJsonValue(QJsonValue::Null);
        const QJsonObject reply = m_channel->request(QJsonObject{{u"op"_s, u"call"_s},
                                                                 {u"handle"_s, m_handle},
                                                                 {u"name"_s, method},
                                                                 {u"args"_s, QJsonArray{arg}}});
        return toValue(reply.value(u"value"_s));
    }

    // The wire carries no references: the server never changes an argument.
    Value callByReference(const QString& method, QString& argument) override
    {
        return call(method, argument);
    }

    void close() override { m_channel->request(QJsonObject{{u"op"_s, u"close"_s}, {u"handle"_s, m_handle}}); }

private:
    std::shared_ptr<Channel> m_channel;
    int m_handle = 0;
};

} // namespace

bool WireFactory::connect(QString& connectString, QString& error, ConnectFailure& failure)
{
    m_everConnected = true;
    disconnect();
    const auto target = parseConnectString(connectString);
    if (!target) {
        error = u"Ungültiger Verbindungstext: %1"_s.arg(connectString);
        failure = ConnectFailure::BadAddress;
        return false;
    }
    const QString awaiting = awaitingServer(target->host, target->port);
    const Deadline deadline = std::chrono::steady_clock::now() + m_timeouts.connect;
    TcpStream::Status why = TcpStream::Status::Failed;
    std::optional<TcpStream> stream;
    std::atomic<bool> cancelled{false};
    const auto connect = [&] {
        stream = TcpStream::connect(target->host, target->port, deadline, error, &why, &cancelled);
    };
    if (m_runner)
        m_runner(awaiting, connect, [&cancelled] { cancelled = true; });
    else
        connect();
    if (!stream) {
        failure = why == TcpStream::Status::Timeout     ? ConnectFailure::TimedOut
                  : why == TcpStream::Status::Closed    ? ConnectFailure::Refused
                  : why == TcpStream::Status::Cancelled ? ConnectFailure::Cancelled
                                                        : ConnectFailure::Other;
        return false;
    }
    auto channel = std::make_shared<Channel>(std::move(*stream), m_timeouts, m_runner, awaiting);
    try {
        channel->request(QJsonObject{
            {u"op"_s, u"hello"_s}, {u"version"_s, wire::Version}, {u"namespace"_s, target->nameSpace}});
    } catch (const Error& e) {
        error = e.description();
        failure = channel->cancelled()                            ? ConnectFailure::Cancelled
                  : e.number() == wire::error::Timeout            ? ConnectFailure::TimedOut
                  : e.number() == wire::error::NoLicence          ? ConnectFailure::NoLicence
                  : e.number() == wire::error::TooManyConnections ? ConnectFailure::Busy
                                                                  : ConnectFailure::Other;
        return false;
    }
    m_channel = std::move(channel);
    error.clear();
    failure = ConnectFailure::None;
    return true;
}

void WireFactory::disconnect()
{
    if (m_channel)
        m_channel->close();
    m_channel.reset();
}

bool WireFactory::isConnected()
{
    if (!m_everConnected)
        throw noConnection();
    return m_channel && m_channel->alive();
}

Channel& WireFactory::channel() const
{
    if (!m_channel || !m_channel->isOpen())
        throw noConnection();
    return *m_channel;
}

std::shared_ptr<ObjectBackend> WireFactory::openId(const QString& className, const QString& id)
{
    const QJsonObject reply =
        channel().request(QJsonObject{{u"op"_s, u"open"_s}, {u"class"_s, className}, {u"id"_s, id}});
    return std::make_shared<WireObject>(m_channel, reply.value(u"handle"_s).toInt());
}

std::shared_ptr<ObjectBackend> WireFactory::classObject(const QString& className)
{
    const QJsonObject reply =
        channel().request(QJsonObject{{u"op"_s, u"classobj"_s}, {u"class"_s, className}});
    return std::make_shared<WireObject>(m_channel, reply.value(u"handle"_s).toInt());
}

} // namespace objfactory::detail
