// Requests over the size and field limits, and floods of them and of connections, against a real
// server process: refused clearly, and everybody else served meanwhile.
#include "platform/objfactory/factory.h"
#include "platform/wire/wire.h"
#include "raw_client.h"
#include "server_process.h"

#include <QDate>
#include <QJsonArray>
#include <QtEndian>

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <thread>
#include <vector>

using namespace Qt::Literals::StringLiterals;

using testsupport::errorNumber;
using testsupport::errorText;
using testsupport::RawClient;
using testsupport::ServerProcess;

namespace {

QByteArray frameOf(const QByteArray& payload)
{
    QByteArray frame(wire::HeaderBytes, Qt::Uninitialized);
    qToBigEndian(static_cast<quint32>(payload.size()), frame.data());
    return frame + payload;
}

// A property request on handle 1 with extra fields besides its own three.
QByteArray getWithFields(int extra)
{
    QByteArray payload = R"({"op":"get","handle":1,"name":"LAGST")";
    for (int i = 0; i < extra; ++i)
        payload += ",\"f" + QByteArray::number(i) + "\":1234";
    return payload + '}';
}

// A property request of exactly bytes, its name filling it up.
QByteArray getOfSize(qsizetype bytes)
{
    const QByteArray head = R"({"op":"get","handle":1,"name":")";
    return head + QByteArray(bytes - head.size() - 2, 'n') + "\"}";
}

// The stock lookup's requests, as the program sends them; true when every answer was right.
bool lookup(objfactory::Factory& f, const QString& line)
{
    objfactory::ServerObject stock = f.OpenId(u"VD.ArtLagerFilInfo"_s, u"1||123456||0"_s);
    const bool stockRight = stock.property(u"LAGST"_s) == u"42"_s;
    stock.SYS_Close();
    objfactory::ServerObject windows = f.ClassObject(u"VD.Windows"_s);
    const bool lineRight = windows.call(u"Xecute"_s, line) == u"7"_s;
    windows.SYS_Close();
    return stockRight && lineRight;
}

QString stockLine()
{
    return u"S P0=$P(^TOVI(1,3,1,1%1,123456),\"'\",1)"_s.arg(QDate::currentDate().toString(u"yyMMdd"_s));
}

// Clients sending large requests back to back until stopped, each connecting again when dropped.
class RequestFlood final
{
public:
    RequestFlood(quint16 port, const std::vector<QByteArray>& frames)
    {
        for (const QByteArray& frame : frames)
            m_threads.emplace_back([this, port, frame] { run(port, frame); });
    }
    ~RequestFlood() { stop(); }

    void stop()
    {
        m_stop = true;
        for (std::thread& t : m_threads) {
            if (t.joinable())
                t.join();
        }
    }

    std::atomic<int> answered{0}; // refused ones included
    std::atomic<int> refused{0};  // BadRequest

private:
    void run(quint16 port, const QByteArray& frame)
    {
        while (!m_stop) {
            RawClient client(port);
            if (!client.hello()[u"ok"_s].toBool())
                continue;
            while (!m_stop) {
                client.sendBytes(frame);
                const QJsonObject answer = client.reply();
                if (answer.isEmpty())
                    break;
                ++answered;
                if (errorNumber(answer) == wire::error::BadRequest)
                    ++refused;
            }
        }
    }

    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};

} // namespace

TEST(RequestLimitTest, ALargerRequestIsRefusedOnceItsLengthHasComeAndTheConnectionClosed)
{
    ServerProcess server;
    ASSERT_TRUE(server.start(ServerProcess::standardData(), {u"--max-request-bytes"_s, u"8K"_s}))
        << qPrintable(server.error());
    RawClient atLimit(server.port());
    ASSERT_TRUE(atLimit.hello()[u"ok"_s].toBool());
    atLimit.sendBytes(frameOf(getOfSize(8192)));
    EXPECT_EQ(errorNumber(atLimit.reply()), wire::error::InvalidHandle) << "8K itself is decoded";

    RawClient over(server.port());
    ASSERT_TRUE(over.hello()[u"ok"_s].toBool());
    QByteArray header(wire::HeaderBytes, Qt::Uninitialized);
    qToBigEndian<quint32>(8193, header.data());
    over.sendBytes(header); // the rest never comes: the length alone is enough
    const QJsonObject refusal = over.reply();
    EXPECT_EQ(errorNumber(refusal), wire::error::BadRequest);
    EXPECT_EQ(errorText(refusal), u"request larger than 8192 bytes"_s);
    EXPECT_TRUE(over.closedByServer());
    EXPECT_TRUE(server.waitForLog(u"session 2 dropped: oversized request"_s));
    EXPECT_TRUE(server.waitForLog(u"session 2 closed"_s)) << "its licence is given back";

    atLimit.send({{u"op"_s, u"classobj"_s}, {u"class"_s, u"VD.Windows"_s}});
    EXPECT_TRUE(atLimit.reply()[u"ok"_s].toBool()) << "the other session goes on";
}

TEST(RequestLimitTest, TooManyFieldsAreRefusedAndTheSessionGoesOn)
{
    ServerProcess server;
    ASSERT_TRUE(server.start(ServerProcess::standardData())) << qPrintable(server.error());
    RawClient client(server.port());
    const int h = client.commandObject();
    ASSERT_GE(h, 0);

    client.sendBytes(frameOf(getWithFields(61)));
    EXPECT_EQ(errorNumber(client.reply()), wire::error::NoSuchProperty) << "64 fields are decoded";
    client.sendBytes(frameOf(getWithFields(62)));
    QJsonObject refusal = client.reply();
    EXPECT_EQ(errorNumber(refusal), wire::error::BadRequest);
    EXPECT_EQ(errorText(refusal), u"request with more than 64 fields"_s);

    // Elements count as well as members, inside strings nothing does.
    QJsonArray args;
    for (int i = 0; i < 61; ++i)
        args.append(i);
    client.send({{u"op"_s, u"call"_s}, {u"handle"_s, h}, {u"name"_s, u"Xecute"_s}, {u"args"_s, args}});
    EXPECT_EQ(errorNumber(client.reply()), wire::error::BadRequest);
    client.send({{u"op"_s, u"get"_s}, {u"handle"_s, h}, {u"name"_s, QString(5000, u',') + u"[{"_s}});
    EXPECT_EQ(errorNumber(client.reply()), wire::error::NoSuchProperty);

    EXPECT_EQ(client.xecute(h, u"S P0=6*7"_s)[u"value"_s].toString(), u"42"_s) << "the session goes on";
    // A large request within the limits waits for its turn, and is then served as any other.
    const QString large = u"S P0=$P(\""_s + QString(20000, u'x') + u";found\",\";\",2)"_s;
    EXPECT_EQ(client.xecute(h, large)[u"value"_s].toString(), u"found"_s);
    EXPECT_TRUE(server.waitForLog(u"session 1 request refused: request with more than 64 fields"_s));

    // Before the hello as well, and then the connection is refused as for any bad hello.
    ServerProcess strict;
    ASSERT_TRUE(strict.start(ServerProcess::standardData(), {u"--max-request-fields"_s, u"8"_s}));
    RawClient early(strict.port());
    early.send({{u"op"_s, u"hello"_s},
                {u"version"_s, wire::Version},
                {u"namespace"_s, u"VELDOR"_s},
                {u"padding"_s, QJsonArray{1, 2, 3, 4, 5, 6}}});
    EXPECT_EQ(errorText(early.reply()), u"request with more than 8 fields"_s);
    EXPECT_TRUE(early.closedByServer());
}

TEST(RequestLimitTest, OthersAreServedWhileClientsFloodWithLargeRequests)
{
    ServerProcess server;
    ASSERT_TRUE(server.start(ServerProcess::standardData(), 10)) << qPrintable(server.error());
    // 800 KB of 60,000 fields, refused at its length; and the largest requests the limits decode.
    const QByteArray largest = frameOf(getOfSize(256 * 1024));
    RequestFlood flood(server.port(), {frameOf(getWithFields(60000)), largest, largest});

    objfactory::Factory f;
    QString cs = server.connectString();
    ASSERT_TRUE(f.Connect(cs));
    const QString line = stockLine();
    // Lookups until the flood has been at it for a while, however fast this machine is.
    int lookups = 0;
    int right = 0;
    for (; lookups < 100 || (flood.answered < 50 && lookups < 100000); ++lookups)
        right += lookup(f, line) ? 1 : 0;
    flood.stop();
    EXPECT_EQ(right, lookups);
    EXPECT_GT(flood.refused.load(), 0);
    EXPECT_GT(flood.answered.load(), flood.refused.load()) << "the decoded ones were answered too";
    EXPECT_TRUE(server.log().contains(u"dropped: oversized request"_s));
    EXPECT_TRUE(lookup(f, line)) << "and the server is still there";
}

TEST(ConnectionFloodTest, OtherAddressesKeepConnectingWhileOneFloodsWithSilentConnections)
{
    // The defaults: 64 connections, 32 of them before their hello from one address.
    ServerProcess server;
    ASSERT_TRUE(server.start(ServerProcess::standardData())) << qPrintable(server.error());
    std::atomic<bool> stop{false};
    std::atomic<int> opened{0};
    std::thread flooder([&] {
        std::deque<std::unique_ptr<RawClient>> open;
        while (!stop) {
            open.push_back(std::make_unique<RawClient>(server.port(), QHostAddress(u"127.0.0.1"_s)));
            ++opened;
            if (open.size() > 200)
                open.pop_front();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    ASSERT_TRUE(server.waitForLog(u"127.0.0.1 refused: 32 connections from it before their hello"_s));

    int clients = 0;
    int served = 0;
    for (; clients < 60 || (opened < 500 && clients < 10000); ++clients) {
        RawClient other(server.port(), QHostAddress(u"127.0.0.2"_s));
        if (!other.hello()[u"ok"_s].toBool())
            continue;
        other.send(
            {{u"op"_s, u"open"_s}, {u"class"_s, u"VD.ArtLagerFilInfo"_s}, {u"id"_s, u"1||123456||0"_s}});
        const int handle = other.reply()[u"handle"_s].toInt(-1);
        other.send({{u"op"_s, u"get"_s}, {u"handle"_s, handle}, {u"name"_s, u"LAGST"_s}});
        served += other.reply()[u"value"_s].toString() == u"42"_s ? 1 : 0;
    }
    stop = true;
    flooder.join();
    EXPECT_EQ(served, clients) << "every client of another address, while " << opened.load()
                               << " were opened";
    EXPECT_GE(opened.load(), 500);
}
