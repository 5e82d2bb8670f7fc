// The COM client against the stand-in component, registered by the wrapper in a prefix of the test's
// own, the stand-in passing every member on to veldor-server.

#include "factory_helpers.h"
#include "platform/objfactory/com_backend_win32.h"
#include "platform/objfactory/com_dispatch_win32.h"
#include "platform/objfactory/factory.h"
#include "platform/wire/wire.h"
#include "standard_server.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

using namespace Qt::Literals::StringLiterals;
using objfactory::Error;
using objfactory::Factory;
using objfactory::ServerObject;
using objfactory::Transport;
using objtest::errorOf;
using objtest::today;
using testsupport::StandardServer;
namespace com = objfactory::com;

namespace {

// The stand-in DLL the wrapper registered, loaded once more to reach its entry points.
class Standin final
{
public:
    Standin()
    {
        const QString path = qEnvironmentVariable("PLENVARO_COM_STANDIN");
        m_module = LoadLibraryW(reinterpret_cast<const wchar_t*>(path.utf16()));
    }
    ~Standin()
    {
        if (m_module)
            FreeLibrary(m_module);
    }
    Standin(const Standin&) = delete;
    Standin& operator=(const Standin&) = delete;

    bool loaded() const { return m_module != nullptr; }
    long liveObjects() const { return entry<long (*)()>("StandinLiveObjects")(); }
    HRESULT registerServer() const { return entry<HRESULT(STDAPICALLTYPE*)()>("DllRegisterServer")(); }
    HRESULT unregisterServer() const { return entry<HRESULT(STDAPICALLTYPE*)()>("DllUnregisterServer")(); }

private:
    template <typename F> F entry(const char* name) const
    {
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m_module, name)));
    }
    HMODULE m_module = nullptr;
};

// Steps on one thread of their own that never ends, as the program runs them.
class StepThread final
{
public:
    static StepThread& instance()
    {
        static auto* thread = new StepThread; // lives as long as the process, like the program's
        return *thread;
    }

    bool run(const QString&, std::function<void()> step, std::function<void()>)
    {
        std::exception_ptr error;
        bool done = false;
        std::mutex mutex;
        std::condition_variable finished;
        {
            const std::lock_guard lock(m_mutex);
            m_queue.push_back([&] {
                try {
                    step();
                } catch (...) {
                    error = std::current_exception();
                }
                const std::lock_guard doneLock(mutex);
                done = true;
                finished.notify_one();
            });
        }
        m_posted.notify_one();
        std::unique_lock lock(mutex);
        finished.wait(lock, [&] { return done; });
        if (error)
            std::rethrow_exception(error);
        return true;
    }
    DWORD threadId() const { return m_threadId; }

private:
    StepThread()
    {
        std::thread([this] {
            m_threadId = GetCurrentThreadId();
            for (;;) {
                std::unique_lock lock(m_mutex);
                m_posted.wait(lock, [this] { return !m_queue.empty(); });
                const std::function<void()> job = std::move(m_queue.front());
                m_queue.pop_front();
                lock.unlock();
                job();
            }
        }).detach();
    }

    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<std::function<void()>> m_queue;
    std::atomic<DWORD> m_threadId{0};
};

class ComFactoryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start()) << qPrintable(server.error());
        ASSERT_TRUE(standin.loaded())
            << "PLENVARO_COM_STANDIN names no loadable DLL; run under with_com_standin.sh";
        com::enterApartment();
    }

    bool connect(Factory& f)
    {
        QString cs = server.connectString();
        return f.Connect(cs);
    }

    StandardServer server;
    Standin standin;
};

// The factory's raw interface as the ProgID makes it.
com::ComRef<IDispatch> createComponent()
{
    CLSID id;
    com::ComRef<IDispatch> factory;
    if (SUCCEEDED(CLSIDFromProgID(L"CacheObject.Factory", &id)))
        CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                         factory.out());
    return factory;
}

com::Variant text(const QString& value)
{
    com::Variant v;
    V_VT(v.get()) = VT_BSTR;
    V_BSTR(v.get()) = com::Bstr(value).release();
    return v;
}

} // namespace

TEST_F(ComFactoryTest, EveryMemberOfTheTableThroughTheClient)
{
    Factory f(Transport::Com);
    EXPECT_NE(errorOf([&] { f.IsConnected(); }).number(), 0)
        << "no connection object before the first connect";
    QString cs = server.connectString();
    const QString sent = cs;
    ASSERT_TRUE(f.Connect(cs)) << qPrintable(f.lastError());
    EXPECT_EQ(cs, sent) << "the connect string passed by reference comes back unchanged";
    EXPECT_TRUE(f.IsConnected());

    ServerObject user = f.OpenId(u"VD.ParPersEdv"_s, u"1||K17"_s);
    EXPECT_TRUE(server.waitForLog(u"open VD.ParPersEdv 1||K17"_s));
    EXPECT_EQ(user.property(u"Passwort"_s), u"geheim"_s);
    EXPECT_EQ(user.call(u"PNAMELogicalToODBC"_s, user.property(u"PNAME"_s)), u"Maier"_s);
    ServerObject nulls = f.OpenId(u"VD.ParPersEdv"_s, u"1||K20"_s);
    EXPECT_EQ(nulls.property(u"Passwort"_s), std::nullopt) << "a null variant is no value";
    nulls.SYS_Close();
    EXPECT_TRUE(nulls.isNull());

    ServerObject windows = f.ClassObject(u"VD.Windows"_s);
    windows.call(u"Xecute"_s, u"S FIRMA=1,FIL=0,PERSONAL=\"K17|Müller\""_s);
    EXPECT_TRUE(server.waitForLog(u"xecute S FIRMA=1,FIL=0,PERSONAL=\"K17|Müller\""_s))
        << "a line by value arrives with its umlauts";
    QString line = u"S P0=$P(^TOVI(1,3,1,1%1,123456),\"'\",1)"_s.arg(today());
    const QString before = line;
    EXPECT_EQ(windows.call(u"Xecute"_s, line), u"7"_s) << "the stock lookup's line goes by reference";
    EXPECT_EQ(line, before);
    QString umlauts = u"S P0=\"Größe: Ä Ö Ü ß\""_s;
    EXPECT_EQ(windows.call(u"Xecute"_s, umlauts), u"Größe: Ä Ö Ü ß"_s);
    EXPECT_EQ(umlauts, u"S P0=\"Größe: Ä Ö Ü ß\""_s) << "a line by reference comes back unchanged";
    EXPECT_TRUE(server.waitForLog(u"xecute S P0=\"Größe: Ä Ö Ü ß\""_s));

    user.SYS_Close();
    windows.SYS_Close();
    EXPECT_NE(errorOf([&] { user.SYS_Close(); }).number(), 0) << "closing an empty reference raises";
    f.Disconnect();
    EXPECT_FALSE(f.IsConnected());
    EXPECT_NE(errorOf([&] { f.OpenId(u"VD.ParPersEdv"_s, u"1||K17"_s); }).number(), 0);
    ASSERT_TRUE(connect(f)) << "the same object connects again";
    EXPECT_TRUE(f.IsConnected());
}

TEST_F(ComFactoryTest, ServerErrorsArriveThroughExcepinfoWithNumberAndText)
{
    Factory f(Transport::Com);
    ASSERT_TRUE(connect(f)) << qPrintable(f.lastError());
    const Error noId = errorOf([&] { f.OpenId(u"VD.ParPersEdv"_s, u"1||K99"_s); });
    EXPECT_EQ(noId.number(), wire::error::NoSuchObject);
    EXPECT_TRUE(noId.description().contains(u"1||K99"_s)) << qPrintable(noId.description());
    EXPECT_EQ(errorOf([&] { f.ClassObject(u"VD.Nichts"_s); }).number(), wire::error::NoSuchClass);

    ServerObject user = f.OpenId(u"VD.ParPersEdv"_s, u"1||K17"_s);
    EXPECT_EQ(errorOf([&] { user.property(u"Gibtsnicht"_s); }).number(), wire::error::NoSuchProperty);
    EXPECT_EQ(errorOf([&] { user.call(u"GibtsnichtLogicalToODBC"_s, u"x"_s); }).number(),
              wire::error::NoSuchMethod);
    ServerObject windows = f.ClassObject(u"VD.Windows"_s);
    QString broken = u"S P0=$P(^TOVI(1,3,1,1%1,),\"'\",1)"_s.arg(today());
    const Error m = errorOf([&] { windows.call(u"Xecute"_s, broken); });
    EXPECT_GT(m.number(), wire::error::MBase) << "an M error keeps the server's number";
    EXPECT_FALSE(m.description().isEmpty());
    EXPECT_EQ(user.property(u"AKTIV"_s), u"J"_s) << "errors leave the session usable";

    ServerObject copy = user;
    user.SYS_Close();
    EXPECT_EQ(errorOf([&] { copy.property(u"AKTIV"_s); }).number(), wire::error::InvalidHandle)
        << "a closed object is gone on the server, whatever still holds it";
}

TEST_F(ComFactoryTest, MembersByIdAndByNameAnswerAlike)
{
    com::ComRef<IDispatch> factory = createComponent();
    ASSERT_TRUE(factory);
    const struct
    {
        const char16_t* name;
        DISPID id;
    } table[] = {
        {u"Connect", 1}, {u"Disconnect", 2}, {u"OpenId", 7}, {u"ClassObject", 8}, {u"IsConnected", 10}};
    for (const auto& member : table)
        EXPECT_EQ(com::dispatchId(factory.get(), QString::fromUtf16(member.name)), member.id)
            << qPrintable(QString::fromUtf16(member.name));
    EXPECT_EQ(errorOf([&] { com::dispatchId(factory.get(), u"Gibtsnicht"_s); }).number(),
              static_cast<std::int32_t>(DISP_E_UNKNOWNNAME));
    EXPECT_EQ(errorOf([&] { com::invoke(factory.get(), 99, DISPATCH_METHOD, nullptr, 0, u"99"_s); }).number(),
              static_cast<std::int32_t>(DISP_E_MEMBERNOTFOUND))
        << "an unknown id is the component model's own error";

    // Connect by its name's id, the string by reference: the very BSTR comes back untouched.
    com::Bstr cs(server.connectString() + u"ä"_s);
    const BSTR sent = cs.get();
    com::Variant byRef;
    V_VT(byRef.get()) = VT_BYREF | VT_BSTR;
    V_BSTRREF(byRef.get()) = cs.slot();
    const DISPID connectId = com::dispatchId(factory.get(), u"connect"_s);
    com::Variant refused =
        com::invoke(factory.get(), connectId, DISPATCH_METHOD, byRef.get(), 1, u"Connect"_s);
    EXPECT_EQ(V_VT(refused.get()), VT_BOOL);
    EXPECT_EQ(V_BOOL(refused.get()), VARIANT_FALSE)
        << "a connect string that does not parse connects nowhere";
    EXPECT_EQ(cs.get(), sent);
    EXPECT_EQ(cs.text(), server.connectString() + u"ä"_s);

    cs = com::Bstr(server.connectString());
    V_BSTRREF(byRef.get()) = cs.slot();
    com::Variant connected = com::invoke(factory.get(), 1, DISPATCH_METHOD, byRef.get(), 1, u"Connect"_s);
    EXPECT_TRUE(com::truthOf(*connected.get(), u"Connect"_s));
    EXPECT_TRUE(
        com::truthOf(*com::invoke(factory.get(), 10, DISPATCH_PROPERTYGET, nullptr, 0, u"10"_s).get(), {}));

    com::Variant openArgs[2] = {text(u"1||K17"_s), text(u"VD.ParPersEdv"_s)}; // last argument first
    com::Variant opened = com::invoke(factory.get(), 7, DISPATCH_METHOD, openArgs[0].get(), 2, u"OpenId"_s);
    com::ComRef<IDispatch> user = com::takeObject(opened, u"OpenId"_s);
    const DISPID aktiv = com::dispatchId(user.get(), u"AKTIV"_s);
    EXPECT_EQ(
        com::valueOf(*com::invoke(user.get(), aktiv, DISPATCH_PROPERTYGET, nullptr, 0, u"AKTIV"_s).get()),
        u"J"_s);
    EXPECT_EQ(com::dispatchId(user.get(), u"AKTIV"_s), aktiv) << "a name keeps its id";

    com::Variant classArg = text(u"VD.Windows"_s);
    com::Variant classObject =
        com::invoke(factory.get(), 8, DISPATCH_METHOD, classArg.get(), 1, u"ClassObject"_s);
    com::ComRef<IDispatch> windows = com::takeObject(classObject, u"ClassObject"_s);
    com::Variant line = text(u"S P0=1+1"_s);
    const DISPID xecute = com::dispatchId(windows.get(), u"Xecute"_s);
    EXPECT_EQ(
        com::valueOf(*com::invoke(windows.get(), xecute, DISPATCH_METHOD, line.get(), 1, u"Xecute"_s).get()),
        u"2"_s);
    const DISPID close = com::dispatchId(windows.get(), u"SYS_Close"_s);
    com::invoke(windows.get(), close, DISPATCH_METHOD, nullptr, 0, u"SYS_Close"_s);
    EXPECT_EQ(errorOf([&] {
                  com::invoke(windows.get(), xecute, DISPATCH_METHOD, line.get(), 1, u"Xecute"_s);
              }).number(),
              wire::error::InvalidHandle);

    com::invoke(factory.get(), 2, DISPATCH_METHOD, nullptr, 0, u"Disconnect"_s);
    EXPECT_FALSE(
        com::truthOf(*com::invoke(factory.get(), 10, DISPATCH_PROPERTYGET, nullptr, 0, u"10"_s).get(), {}));
}

TEST_F(ComFactoryTest, AMissingRegistrationIsSaidInGermanAndFailsAsAnUnreachableServer)
{
    ASSERT_EQ(standin.unregisterServer(), S_OK);
    Factory f(Transport::Com);
    QString cs = server.connectString();
    const bool connected = f.Connect(cs);
    const QString error = f.lastError();
    const Factory::Failure failure = f.lastFailure();
    const bool stillConnected = !errorOf([&] { f.IsConnected(); }).number() && f.IsConnected();
    ASSERT_EQ(standin.registerServer(), S_OK);

    EXPECT_FALSE(connected);
    EXPECT_FALSE(stillConnected);
    EXPECT_EQ(failure, Factory::Failure::Other);
    EXPECT_EQ(error, com::notInstalled());
    EXPECT_TRUE(error.contains(u"\u201eCacheObject.Factory\u201c"_s) &&
                error.contains(u"nicht installiert"_s))
        << qPrintable(error);

    Factory again(Transport::Com);
    EXPECT_TRUE(connect(again)) << "registered again, the component is found: "
                                << qPrintable(again.lastError());
}

TEST_F(ComFactoryTest, ManyCyclesOnAStepThreadLeaveNoObjectBehind)
{
    const auto runner = [](const QString& what, std::function<void()> step, std::function<void()> cancel) {
        return StepThread::instance().run(what, std::move(step), std::move(cancel));
    };
    for (int cycle = 0; cycle < 150; ++cycle) {
        Factory f(Transport::Com, {}, runner);
        ASSERT_TRUE(connect(f)) << qPrintable(f.lastError());
        ServerObject stock = f.OpenId(u"VD.ArtLagerFilInfo"_s, u"1||123456||0"_s);
        ASSERT_EQ(stock.property(u"LAGST"_s), u"42"_s);
        stock.SYS_Close();
        ServerObject windows = f.ClassObject(u"VD.Windows"_s);
        QString line = u"S P0=$P(^TOVI(1,3,1,1%1,123456),\"'\",1)"_s.arg(today());
        ASSERT_EQ(windows.call(u"Xecute"_s, line), u"7"_s);
        if (cycle % 2 == 0)
            windows.SYS_Close(); // else dropped unclosed, as an error path leaves it
        errorOf([&] { f.OpenId(u"VD.ParPersEdv"_s, u"1||K99"_s); });
        f.Disconnect();
    }
    EXPECT_EQ(com::liveObjects(), 0) << "the client holds no server object";
    EXPECT_EQ(standin.liveObjects(), 0) << "every interface the component handed out was released";
}

TEST_F(ComFactoryTest, ObjectsOutlivingTheirFactoryAreStillReleased)
{
    ServerObject kept;
    {
        Factory f(Transport::Com);
        ASSERT_TRUE(connect(f));
        kept = f.OpenId(u"VD.ParPersEdv"_s, u"1||K17"_s);
        EXPECT_EQ(kept.property(u"PNAME"_s), u"Maier"_s);
    }
    EXPECT_GT(standin.liveObjects(), 0);
    kept = ServerObject();
    EXPECT_EQ(com::liveObjects(), 0);
    EXPECT_EQ(standin.liveObjects(), 0);
}
