#include "platform/objfactory/factory.h"
#include "platform/wire/wire.h"
#include "server_process.h"

#include <QDate>
#include <QTcpServer>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;
using objfactory::Error;
using objfactory::Factory;
using objfactory::ServerObject;
using testsupport::ServerProcess;

namespace {

QString today()
{
    return QDate::currentDate().toString(u"yyMMdd"_s);
}

// The error a call raises, or number 0 when it raised none.
template <typename F> Error errorOf(F&& f)
{
    try {
        f();
    } catch (const Error& e) {
        return e;
    }
    return Error(0, {});
}

class FactoryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start(ServerProcess::standardData(), 3)) << qPrintable(server.error());
    }

    bool connect(Factory& f)
    {
        QString cs = server.connectString();
        return f.Connect(cs);
    }

    ServerProcess server;
};

} // namespace

TEST_F(FactoryTest, OpensObjectsReadsPropertiesAndCallsMethods)
{
    Factory f;
    ASSERT_TRUE(connect(f));
    EXPECT_TRUE(f.IsConnected());

    ServerObject user = f.OpenId(u"VD.ParPersEdv"_s, u"1||K17"_s);
    EXPECT_EQ(user.property(u"Passwort"_s), u"geheim"_s);
    EXPECT_EQ(user.property(u"passwort"_s), u"geheim"_s) << "names bind without regard to case";
    EXPECT_EQ(user.call(u"PNAMELogicalToODBC"_s, user.property(u"PNAME"_s)), u"Maier"_s);
    EXPECT_EQ(user.call(u"pnamelogicaltoodbc"_s, u"Maier"_s), u"Maier"_s);
    EXPECT_TRUE(server.waitForLog(u"open VD.ParPersEdv 1||K17"_s));

    ServerObject copy = user;
    user.SYS_Close();
    EXPECT_TRUE(user.isNull());
    EXPECT_EQ(errorOf([&] { copy.property(u"Passwort"_s); }).number(), wire::error::InvalidHandle)
        << "a released object is gone on the server too";
    EXPECT_NE(errorOf([&] { user.SYS_Close(); }).number(), 0) << "closing an empty reference raises";

    ServerObject nulls = f.OpenId(u"vd.parpersedv"_s, u"1||K20"_s);
    EXPECT_EQ(nulls.property(u"Passwort"_s), std::nullopt)
        << "null in the data file is a property without value";
    EXPECT_EQ(nulls.property(u"DW"_s), std::nullopt);
}

TEST_F(FactoryTest, FailuresRaiseNumberedErrorsAndTheSessionGoesOn)
{
    Factory f;
    ASSERT_TRUE(connect(f));
    const Error noId = errorOf([&] { f.OpenId(u"VD.ParPersEdv"_s, u"1||K99"_s); });
    EXPECT_EQ(noId.number(), wire::error::NoSuchObject);
    EXPECT_TRUE(noId.description().contains(u"1||K99"_s)) << qPrintable(noId.description());
    EXPECT_LT(noId.number(), 0) << "automation errors read as negative numbers";

    EXPECT_EQ(errorOf([&] { f.OpenId(u"VD.Nichts"_s, u"1"_s); }).number(), wire::error::NoSuchClass);
    ServerObject user = f.OpenId(u"VD.ParPersEdv"_s, u"1||K17"_s);
    EXPECT_EQ(errorOf([&] { user.property(u"Gibtsnicht"_s); }).number(), wire::error::NoSuchProperty);
    EXPECT_EQ(errorOf([&] { user.call(u"GIBTSNICHTLogicalToODBC"_s, u"x"_s); }).number(),
              wire::error::NoSuchMethod);
    EXPECT_EQ(user.property(u"AKTIV"_s), u"J"_s) << "errors leave the session usable";
}

TEST_F(FactoryTest, XecuteRunsInTheSessionsOwnContext)
{
    Factory f;
    ASSERT_TRUE(connect(f));
    ServerObject windows = f.ClassObject(u"VD.Windows"_s);
    windows.call(u"Xecute"_s, u"S FIRMA=1,FIL=0,PERSONAL=\"K17\""_s);
    windows.call(u"Xecute"_s, u"D ^%XTT"_s);
    EXPECT_TRUE(server.waitForLog(u"context FIRMA=1 FIL=0 PERSONAL=K17"_s));

    QString line = u"S P0=$P(^TOVI(1,3,1,1%1,123456),\"'\",1)"_s.arg(today());
    EXPECT_EQ(windows.call(u"Xecute"_s, line), u"7"_s);
    EXPECT_TRUE(server.waitForLog(u"xecute "_s + line));

    const Error syntax = errorOf(
        [&] { windows.call(u"Xecute"_s, u"S P0=$P(^TOVI(1,3,1,1%1,12AB34),\"'\",1)"_s.arg(today())); });
    EXPECT_TRUE(syntax.description().contains(u"<SYNTAX>"_s)) << qPrintable(syntax.description());
    const Error empty =
        errorOf([&] { windows.call(u"Xecute"_s, u"S P0=$P(^TOVI(1,3,1,1%1,),\"'\",1)"_s.arg(today())); });
    EXPECT_NE(empty.number(), 0);

    // Another session has its own locals: ^%XTT finds no context there.
    Factory other;
    ASSERT_TRUE(connect(other));
    ServerObject otherWindows = other.ClassObject(u"VD.Windows"_s);
    EXPECT_TRUE(errorOf([&] { otherWindows.call(u"Xecute"_s, u"D ^%XTT"_s); })
                    .description()
                    .contains(u"<UNDEFINED>"_s));
}

TEST_F(FactoryTest, ConnectedQueryFollowsTheConnection)
{
    Factory f;
    EXPECT_NE(errorOf([&] { (void)f.IsConnected(); }).number(), 0) << "raises before any connect";
    QString bad = u"cn_iptcp:127.0.0.1:VELDOR"_s;
    EXPECT_FALSE(f.Connect(bad));
    EXPECT_FALSE(f.IsConnected());
    ASSERT_TRUE(connect(f));
    f.Disconnect();
    EXPECT_FALSE(f.IsConnected());
    EXPECT_EQ(errorOf([&] { f.ClassObject(u"VD.Windows"_s); }).number(), wire::error::NotConnected);
    QString wrongNamespace = u"cn_iptcp:127.0.0.1[%1]:USER"_s.arg(server.port());
    EXPECT_FALSE(f.Connect(wrongNamespace));
}

TEST_F(FactoryTest, LicencesAreTakenPerSessionAndGivenBack)
{
    Factory a, b, c, d;
    ASSERT_TRUE(connect(a));
    ASSERT_TRUE(connect(b));
    ASSERT_TRUE(connect(c));
    EXPECT_FALSE(connect(d)) << "three licences, fourth session";
    EXPECT_TRUE(d.lastError().contains(u"licence"_s)) << qPrintable(d.lastError());

    b.Disconnect();
    ASSERT_TRUE(server.waitForLog(u"licences in use 2 of 3"_s));
    EXPECT_TRUE(connect(d)) << "a disconnect gives the licence back";

    // A client killed in the middle of its session gives its licence back too.
    c.Disconnect();
    ASSERT_TRUE(server.waitForLogCount(u"closed (licences in use 2 of 3)"_s, 2));
    const pid_t child = fork();
    if (child == 0) {
        Factory held;
        QString cs = server.connectString();
        if (!held.Connect(cs))
            _exit(1);
        pause();
        _exit(0);
    }
    ASSERT_TRUE(server.waitForLogCount(u"opened from"_s, 5));
    Factory e;
    EXPECT_FALSE(connect(e));
    ::kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    ASSERT_TRUE(server.waitForLogCount(u"closed (licences in use 2 of 3)"_s, 3));
    EXPECT_TRUE(connect(e));
}

TEST_F(FactoryTest, ServerGoneThenBack)
{
    Factory f;
    ASSERT_TRUE(connect(f));
    server.kill();
    // The connected query notices a closed peer without a failed call first.
    for (int i = 0; i < 100 && f.IsConnected(); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(f.IsConnected());
    const int number = errorOf([&] { f.ClassObject(u"VD.Windows"_s); }).number();
    EXPECT_TRUE(number == wire::error::ConnectionLost || number == wire::error::NotConnected) << number;

    ASSERT_TRUE(server.restart()) << qPrintable(server.error());
    Factory again;
    ASSERT_TRUE(connect(again));
    EXPECT_EQ(again.OpenId(u"VD.ArtLagerFilInfo"_s, u"1||123456||0"_s).property(u"LAGST"_s), u"42"_s);
}

TEST_F(FactoryTest, ACallDuringTheSessionFailsWhenTheServerDies)
{
    Factory f;
    ASSERT_TRUE(connect(f));
    ServerObject windows = f.ClassObject(u"VD.Windows"_s);
    server.kill();
    const Error lost = errorOf([&] { windows.call(u"Xecute"_s, u"S P0=1"_s); });
    EXPECT_TRUE(lost.number() == wire::error::ConnectionLost || lost.number() == wire::error::NotConnected)
        << lost.number();
    EXPECT_FALSE(f.IsConnected());
}

TEST_F(FactoryTest, AHungServerGivesATimeoutNotAFrozenProgram)
{
    Factory f(objfactory::Timeouts{1000ms, 300ms});
    ASSERT_TRUE(connect(f));
    ServerObject windows = f.ClassObject(u"VD.Windows"_s);
    // Stop the server process, as a hung server would be.
    ASSERT_EQ(::kill(static_cast<pid_t>(server.pid()), SIGSTOP), 0);
    const Error timeout = errorOf([&] { windows.call(u"Xecute"_s, u"S P0=1"_s); });
    ASSERT_EQ(::kill(static_cast<pid_t>(server.pid()), SIGCONT), 0);
    EXPECT_EQ(timeout.number(), wire::error::Timeout);
    EXPECT_FALSE(f.IsConnected()) << "after a timeout the stream is out of step and given up";
}

TEST(FactoryConnect, AServerThatNeverAnswersTheHelloIsUnreachable)
{
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    Factory f(objfactory::Timeouts{1000ms, 300ms});
    QString cs = u"cn_iptcp:127.0.0.1[%1]:VELDOR"_s.arg(silent.serverPort());
    EXPECT_FALSE(f.Connect(cs));
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    QString nobody = u"cn_iptcp:127.0.0.1[%1]:VELDOR"_s.arg(closed.serverPort());
    closed.close();
    EXPECT_FALSE(f.Connect(nobody));
}

TEST_F(FactoryTest, ManyConcurrentClientsEachGetTheirOwnAnswers)
{
    server.stop();
    ServerProcess big;
    ASSERT_TRUE(big.start(ServerProcess::standardData(), 64));
    constexpr int clients = 24;
    constexpr int rounds = 100;
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < clients; ++t) {
        threads.emplace_back([&, t] {
            Factory f;
            QString cs = big.connectString();
            if (!f.Connect(cs))
                return;
            ServerObject windows = f.ClassObject(u"VD.Windows"_s);
            for (int i = 0; i < rounds; ++i) {
                const QString mine = QString::number(t * 1000 + i);
                ServerObject stock = f.OpenId(u"VD.ArtLagerFilInfo"_s, u"1||123456||0"_s);
                const bool stockOk = stock.property(u"LAGST"_s) == u"42"_s;
                stock.SYS_Close();
                if (stockOk && windows.call(u"Xecute"_s, u"S P0="_s + mine) == mine)
                    ++good;
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(good.load(), clients * rounds);
}
