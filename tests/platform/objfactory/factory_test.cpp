#include "factory_helpers.h"
#include "platform/objfactory/factory.h"
#include "platform/wire/wire.h"
#include "standard_server.h"
#include "test_listener.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;
using objfactory::Error;
using objfactory::Factory;
using objfactory::ServerObject;
using objtest::errorOf;
using objtest::today;
using testsupport::StandardServer;

namespace {

class FactoryTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(server.start()) << qPrintable(server.error()); }

    bool connect(Factory& f)
    {
        QString cs = server.connectString();
        return f.Connect(cs);
    }

    StandardServer server;
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

TEST(FactoryConnect, AServerThatNeverAnswersTheHelloIsUnreachable)
{
    objtest::Listener silent;
    ASSERT_TRUE(silent.isListening()) << qPrintable(silent.error());
    Factory f(objfactory::Timeouts{1000ms, 300ms});
    QString cs = u"cn_iptcp:127.0.0.1[%1]:VELDOR"_s.arg(silent.port());
    EXPECT_FALSE(f.Connect(cs));
    EXPECT_FALSE(f.lastError().isEmpty());
    EXPECT_EQ(f.lastFailure(), Factory::Failure::TimedOut) << "a server that never answers";
    objtest::Listener closed;
    ASSERT_TRUE(closed.isListening()) << qPrintable(closed.error());
    QString nobody = u"cn_iptcp:127.0.0.1[%1]:VELDOR"_s.arg(closed.port());
    closed.close();
    EXPECT_FALSE(f.Connect(nobody));
    EXPECT_FALSE(f.lastError().isEmpty());
    EXPECT_EQ(f.lastFailure(), Factory::Failure::Refused) << "nothing listening";
    QString garbled = u"cn_iptcp:nowhere:VELDOR"_s;
    EXPECT_FALSE(f.Connect(garbled));
    EXPECT_EQ(f.lastFailure(), Factory::Failure::BadAddress);
}

TEST_F(FactoryTest, ManyConcurrentClientsEachGetTheirOwnAnswers)
{
    constexpr int clients = 24;
    static_assert(clients < StandardServer::Licences);
    constexpr int rounds = 100;
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < clients; ++t) {
        threads.emplace_back([&, t] {
            Factory f;
            QString cs = server.connectString();
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

TEST_F(FactoryTest, TheStockOfTheDemoArticleAndTodaysFigure)
{
    Factory f;
    ASSERT_TRUE(connect(f));
    ServerObject stock = f.OpenId(u"VD.ArtLagerFilInfo"_s, u"1||123456||0"_s);
    EXPECT_EQ(stock.property(u"LAGST"_s), u"42"_s);
    stock.SYS_Close();
    ServerObject windows = f.ClassObject(u"VD.Windows"_s);
    windows.call(u"Xecute"_s, u"S FIRMA=1,FIL=0,PERSONAL=\"K17\""_s);
    EXPECT_EQ(windows.call(u"Xecute"_s, u"S P0=$P(^TOVI(1,3,1,1%1,123456),\"'\",1)"_s.arg(today())), u"7"_s);
    EXPECT_EQ(windows.call(u"Xecute"_s, u"S P0=$P(^TOVI(1,3,1,1%1,654321),\"'\",1)"_s.arg(today())), u"0"_s);
    EXPECT_EQ(f.OpenId(u"VD.ArtLagerFilInfo"_s, u"1||654321||0"_s).property(u"LAGST"_s), u"0"_s);
}

namespace {

// Runs each step on a thread of its own and, like a user pressing "Abbrechen", cancels it once it has
// waited cancelAfter; records what it was told it waits for.
struct CancellingRunner
{
    std::chrono::milliseconds cancelAfter;
    std::shared_ptr<QStringList> awaited = std::make_shared<QStringList>();

    bool operator()(const QString& what, std::function<void()> step, std::function<void()> cancel) const
    {
        awaited->append(what);
        std::exception_ptr error;
        std::atomic<bool> done{false};
        std::thread worker([&] {
            try {
                step();
            } catch (...) {
                error = std::current_exception();
            }
            done = true;
        });
        const auto until = std::chrono::steady_clock::now() + cancelAfter;
        while (!done && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(5ms);
        if (!done && cancel)
            cancel();
        worker.join();
        if (error)
            std::rethrow_exception(error);
        return true;
    }
};

} // namespace

TEST(FactoryConnect, CancellingTheWaitForASilentServerEndsItAsALostConnection)
{
    objtest::Listener silent;
    ASSERT_TRUE(silent.isListening()) << qPrintable(silent.error());
    const CancellingRunner runner{200ms};
    Factory f(objfactory::Timeouts{20s, 20s}, runner);
    QString cs = u"cn_iptcp:127.0.0.1[%1]:VELDOR"_s.arg(silent.port());
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(f.Connect(cs));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s) << "cancelled, not timed out";
    EXPECT_EQ(f.lastFailure(), Factory::Failure::Cancelled) << qPrintable(f.lastError());
    ASSERT_FALSE(runner.awaited->isEmpty());
    EXPECT_EQ(runner.awaited->last(), u"Warte auf den Server 127.0.0.1:%1 ..."_s.arg(silent.port()));
}

TEST(FactoryConnect, ACancelledRequestEndsAsALostConnection)
{
    // A server that greets and then never answers again.
    objtest::Listener listener;
    ASSERT_TRUE(listener.isListening()) << qPrintable(listener.error());
    objtest::PeerSocket peer;
    std::thread greeter([&] {
        peer = listener.accept();
        if (!peer.receive(4).isEmpty())
            peer.sendAll(wire::encodeFrame(wire::okReply()));
    });
    const CancellingRunner runner{200ms};
    Factory f(objfactory::Timeouts{5s, 20s}, runner);
    QString cs = u"cn_iptcp:127.0.0.1[%1]:VELDOR"_s.arg(listener.port());
    const bool connected = f.Connect(cs);
    greeter.join();
    ASSERT_TRUE(connected) << qPrintable(f.lastError());
    const auto started = std::chrono::steady_clock::now();
    const Error e = errorOf([&] { f.ClassObject(u"VD.Windows"_s); });
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s) << "cancelled, not timed out";
    EXPECT_EQ(e.number(), wire::error::ConnectionLost);
    EXPECT_EQ(e.description(), u"Warten auf den Server abgebrochen"_s);
    EXPECT_FALSE(f.IsConnected());
}
