// What needs the server as a process of this test: stopped, killed, restarted, or a client killed.
#include "factory_helpers.h"
#include "platform/objfactory/factory.h"
#include "platform/wire/wire.h"
#include "server_process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;
using objfactory::Error;
using objfactory::Factory;
using objfactory::ServerObject;
using objtest::errorOf;
using testsupport::ServerProcess;

namespace {

class FactoryProcessTest : public ::testing::Test
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

TEST_F(FactoryProcessTest, LicencesAreTakenPerSessionAndGivenBack)
{
    Factory a, b, c, d;
    ASSERT_TRUE(connect(a));
    ASSERT_TRUE(connect(b));
    ASSERT_TRUE(connect(c));
    EXPECT_FALSE(connect(d)) << "three licences, fourth session";
    EXPECT_TRUE(d.lastError().contains(u"licence"_s)) << qPrintable(d.lastError());
    EXPECT_EQ(d.lastFailure(), Factory::Failure::NoLicence);

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

TEST_F(FactoryProcessTest, ServerGoneThenBack)
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

TEST_F(FactoryProcessTest, ACallDuringTheSessionFailsWhenTheServerDies)
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

TEST_F(FactoryProcessTest, AHungServerGivesATimeoutNotAFrozenProgram)
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
