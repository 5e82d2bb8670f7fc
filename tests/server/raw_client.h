#pragma once

#include "platform/wire/wire.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QJsonObject>
#include <QTcpSocket>

namespace testsupport {

// A hand-driven client for what the real one never sends.
class RawClient final
{
public:
    // from: the local address to connect from (anything in 127.0.0.0/8 is this machine).
    explicit RawClient(quint16 port, const QHostAddress& from = {})
    {
        if (!from.isNull())
            socket.bind(from);
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.waitForConnected(3000);
    }

    void sendBytes(const QByteArray& bytes)
    {
        socket.write(bytes);
        socket.waitForBytesWritten(3000);
    }

    void send(const QJsonObject& message) { sendBytes(wire::encodeFrame(message)); }

    // The next reply, or an empty object when the server closed the connection instead.
    QJsonObject reply(int timeoutMs = 5000)
    {
        QJsonObject message;
        for (int waited = 0; waited <= timeoutMs; waited += 100) {
            if (wire::takeFrame(buffer, message) == wire::TakeResult::Frame)
                return message;
            if (!socket.waitForReadyRead(100) && socket.state() != QAbstractSocket::ConnectedState)
                break;
            buffer += socket.readAll();
        }
        return {};
    }

    // Whether a reply has come, without waiting for one.
    bool replied()
    {
        socket.waitForReadyRead(0);
        buffer += socket.readAll();
        return buffer.size() >= wire::HeaderBytes;
    }

    bool closedByServer()
    {
        for (int i = 0; i < 50 && socket.state() == QAbstractSocket::ConnectedState; ++i)
            socket.waitForDisconnected(100);
        return socket.state() != QAbstractSocket::ConnectedState;
    }

    QJsonObject hello()
    {
        using namespace Qt::Literals::StringLiterals;
        send({{u"op"_s, u"hello"_s}, {u"version"_s, wire::Version}, {u"namespace"_s, u"VELDOR"_s}});
        return reply();
    }

    // hello, then the command class; its handle, or -1.
    int commandObject()
    {
        using namespace Qt::Literals::StringLiterals;
        if (!hello()[u"ok"_s].toBool())
            return -1;
        send({{u"op"_s, u"classobj"_s}, {u"class"_s, u"VD.Windows"_s}});
        return reply()[u"handle"_s].toInt(-1);
    }

    void sendXecute(int handle, const QString& line)
    {
        using namespace Qt::Literals::StringLiterals;
        send({{u"op"_s, u"call"_s},
              {u"handle"_s, handle},
              {u"name"_s, u"Xecute"_s},
              {u"args"_s, QJsonArray{line}}});
    }

    QJsonObject xecute(int handle, const QString& line, int timeoutMs = 5000)
    {
        sendXecute(handle, line);
        return reply(timeoutMs);
    }

    QTcpSocket socket;
    QByteArray buffer;
};

inline int errorNumber(const QJsonObject& reply)
{
    using namespace Qt::Literals::StringLiterals;
    return reply[u"error"_s][u"number"_s].toInt();
}

inline QString errorText(const QJsonObject& reply)
{
    using namespace Qt::Literals::StringLiterals;
    return reply[u"error"_s][u"text"_s].toString();
}

} // namespace testsupport
