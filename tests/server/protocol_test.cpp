#include "platform/objfactory/factory.h"
#include "platform/wire/wire.h"
#include "raw_client.h"
#include "server_process.h"

#include <QDate>
#include <QJsonObject>
#include <QProcess>
#include <QTcpSocket>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using testsupport::errorNumber;
using testsupport::RawClient;
using testsupport::ServerProcess;

namespace {

class ProtocolTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start(ServerProcess::standardData())) << qPrintable(server.error());
    }
    ServerProcess server;
};

} // namespace

TEST_F(ProtocolTest, HelloComesFirstAndIsChecked)
{
    RawClient early(server.port());
    early.send({{u"op"_s, u"open"_s}, {u"class"_s, u"VD.Windows"_s}, {u"id"_s, u"1"_s}});
    EXPECT_EQ(errorNumber(early.reply()), wire::error::BadRequest);
    EXPECT_TRUE(early.closedByServer());

    RawClient future(server.port());
    future.send({{u"op"_s, u"hello"_s}, {u"version"_s, wire::Version + 1}, {u"namespace"_s, u"VELDOR"_s}});
    EXPECT_EQ(errorNumber(future.reply()), wire::error::BadVersion);
    EXPECT_TRUE(future.closedByServer());
}

TEST_F(ProtocolTest, MalformedAndOversizedRequests)
{
    RawClient c(server.port());
    ASSERT_TRUE(c.hello()[u"ok"_s].toBool());

    QByteArray notJson(4, 0);
    qToBigEndian<quint32>(5, notJson.data());
    c.sendBytes(notJson + "{{{{{");
    EXPECT_EQ(errorNumber(c.reply()), wire::error::BadRequest);
    c.send({{u"op"_s, u"dance"_s}});
    EXPECT_EQ(errorNumber(c.reply()), wire::error::BadRequest);
    c.send({{u"op"_s, u"get"_s}, {u"handle"_s, u"seven"_s}, {u"name"_s, u"X"_s}});
    EXPECT_EQ(errorNumber(c.reply()), wire::error::InvalidHandle);
    c.send({{u"op"_s, u"classobj"_s}, {u"class"_s, u"VD.Windows"_s}});
    const int handle = c.reply()[u"handle"_s].toInt();
    c.send({{u"op"_s, u"call"_s}, {u"handle"_s, handle}, {u"name"_s, u"Xecute"_s}, {u"args"_s, 5}});
    EXPECT_EQ(errorNumber(c.reply()), wire::error::BadArguments);
    c.send({{u"op"_s, u"close"_s}, {u"handle"_s, handle}});
    EXPECT_TRUE(c.reply()[u"ok"_s].toBool()) << "the session survived every bad request";
    c.send({{u"op"_s, u"call"_s}, {u"handle"_s, handle}, {u"name"_s, u"Xecute"_s}, {u"args"_s, u"S P0=1"_s}});
    EXPECT_EQ(errorNumber(c.reply()), wire::error::InvalidHandle) << "calls on a released object fail";

    QByteArray huge(4, 0);
    qToBigEndian<quint32>(wire::MaxFrameBytes + 1, huge.data());
    c.sendBytes(huge);
    EXPECT_EQ(errorNumber(c.reply()), wire::error::BadRequest);
    EXPECT_TRUE(c.closedByServer());

    objfactory::Factory f;
    QString cs = server.connectString();
    EXPECT_TRUE(f.Connect(cs)) << "the server is still serving";
}

TEST_F(ProtocolTest, AStalledClientDoesNotBlockOthers)
{
    RawClient stalled(server.port());
    ASSERT_TRUE(stalled.hello()[u"ok"_s].toBool());
    stalled.sendBytes(QByteArray("\0\0\0\x40{\"op\":", 10)); // half a frame, then nothing

    objfactory::Factory f;
    QString cs = server.connectString();
    ASSERT_TRUE(f.Connect(cs));
    EXPECT_EQ(f.OpenId(u"VD.ArtLagerFilInfo"_s, u"1||123456||0"_s).property(u"LAGST"_s), u"42"_s);
}

TEST_F(ProtocolTest, InjectionPayloadsStayData)
{
    objfactory::Factory f;
    QString cs = server.connectString();
    ASSERT_TRUE(f.Connect(cs));
    objfactory::ServerObject windows = f.ClassObject(u"VD.Windows"_s);
    windows.call(u"Xecute"_s, u"S FIRMA=1,FIL=0,PERSONAL=\"K17\"\",^X=\"\"1\""_s);
    windows.call(u"Xecute"_s, u"S FIRMA=\"1,^X=1\",FIL=0"_s);
    EXPECT_EQ(windows.call(u"Xecute"_s, u"S P0=$D(^X)"_s), u"0"_s);
    EXPECT_EQ(windows.call(u"Xecute"_s, u"S P0=PERSONAL"_s), u"K17\",^X=\"1"_s);
    EXPECT_EQ(windows.call(u"Xecute"_s, u"S P0=FIRMA"_s), u"1,^X=1"_s);
}

TEST_F(ProtocolTest, TheLogTellsSessionsObjectsLinesAndErrors)
{
    {
        objfactory::Factory f;
        QString cs = server.connectString();
        ASSERT_TRUE(f.Connect(cs));
        f.OpenId(u"VD.ParPersAbt"_s, u"1||3"_s);
        objfactory::ServerObject windows = f.ClassObject(u"VD.Windows"_s);
        windows.call(u"Xecute"_s, u"S P0=2*3+1"_s);
        EXPECT_THROW(windows.call(u"Xecute"_s, u"S P0=NIX"_s), objfactory::Error);
    }
    ASSERT_TRUE(server.waitForLog(u"closed (licences in use 0 of 5)"_s));
    const QString log = server.log();
    EXPECT_TRUE(log.contains(u"session 1 opened from 127.0.0.1"_s)) << qPrintable(log);
    EXPECT_TRUE(log.contains(u"(licences in use 1 of 5)"_s));
    EXPECT_TRUE(log.contains(u"session 1 open VD.ParPersAbt 1||3"_s));
    EXPECT_TRUE(log.contains(u"session 1 xecute S P0=2*3+1\n"_s));
    EXPECT_TRUE(log.contains(u"xecute ok P0=7"_s));
    EXPECT_TRUE(log.contains(u"<UNDEFINED>"_s));
    for (const QString& line : log.split(u'\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(QDateTime::fromString(line.section(u' ', 0, 0), Qt::ISODateWithMs).isValid())
            << qPrintable(line);
}

TEST(ServerProcessTest, EndsCleanlyOnSigtermAndRefusesBadDataFiles)
{
    ServerProcess server;
    ASSERT_TRUE(server.start(ServerProcess::standardData()));
    server.stop();
    EXPECT_TRUE(server.log().contains(u"stopped"_s));

    ServerProcess broken;
    EXPECT_FALSE(broken.start("{\n\"objects\": {\n  \"VD.X\": 7\n}}"));
    EXPECT_TRUE(broken.error().isEmpty() || !broken.error().startsWith(u"listening"_s));

    QProcess direct;
    direct.start(QString::fromUtf8(VELDOR_SERVER_PATH),
                 {u"--data"_s, broken.dataPath(), u"--port"_s, u"0"_s});
    ASSERT_TRUE(direct.waitForFinished(5000));
    EXPECT_NE(direct.exitCode(), 0);
    EXPECT_TRUE(QString::fromUtf8(direct.readAllStandardError()).contains(u"field objects.\"VD.X\""_s));
}
