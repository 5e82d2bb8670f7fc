#include "platform/objfactory/com_backend_win32.h"

#include "platform/objfactory/com_dispatch_win32.h"
#include "platform/objfactory/com_dispids.h"
#include "platform/objfactory/connect_string.h"
#include "platform/objfactory/factory.h"
#include "platform/wire/wire.h"

#include <atomic>
#include <mutex>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace objfactory::com {
namespace {

std::atomic<int> g_liveObjects{0};

QString progId()
{
    return QString::fromLatin1(Factory::ProgId);
}

Error noConnection()
{
    return Error(wire::error::NotConnected, u"Keine Verbindung zum Server"_s);
}

// What only the step side touches: the factory's interface and the references given up meanwhile,
// which are released at the start of the next step, so on the thread that made them.
class StepSide final
{
public:
    ~StepSide()
    {
        // Only left over when objects outlived their factory; by then the owning thread is this one
        // or the process is ending.
        if (GetCurrentThreadId() == m_thread)
            releasePending();
    }

    void enter()
    {
        enterApartment();
        if (m_thread == 0)
            m_thread = GetCurrentThreadId();
        releasePending();
    }
    bool onOwnThread() const { return m_thread == 0 || GetCurrentThreadId() == m_thread; }

    // From any thread.
    void giveUp(IDispatch* object)
    {
        const std::lock_guard lock(m_mutex);
        m_pending.push_back(object);
    }

    ComRef<IDispatch> factory;

private:
    void releasePending()
    {
        std::vector<IDispatch*> pending;
        {
            const std::lock_guard lock(m_mutex);
            pending.swap(m_pending);
        }
        for (IDispatch* object : pending)
            object->Release();
    }

    DWORD m_thread = 0;
    std::mutex m_mutex;
    std::vector<IDispatch*> m_pending;
};

// What the factory and its objects share: how steps are run.
class Steps final
{
public:
    Steps(StepRunner runner) : m_runner(std::move(runner)), m_side(std::make_shared<StepSide>()) {}

    void setAwaiting(QString text) { m_awaiting = std::move(text); }
    const std::shared_ptr<StepSide>& side() const { return m_side; }

    // step gets the step side; it must own everything else it uses, as a step given up on runs on.
    void run(std::function<void(StepSide&)> step) const
    {
        const std::shared_ptr<StepSide> side = m_side;
        const auto job = [side, step = std::move(step)] {
            side->enter();
            step(*side);
        };
        if (!m_runner) {
            job();
            return;
        }
        if (!m_runner(m_awaiting, job, {}))
            throw Error(wire::error::ConnectionLost, u"Warten auf den Server abgebrochen"_s);
    }

private:
    StepRunner m_runner;
    QString m_awaiting = u"Warte auf den Server ..."_s;
    std::shared_ptr<StepSide> m_side;
};

// An object reference handed from a step to the caller; if nobody takes it (the step was given up
// on), it is released with the next step.
struct Handover
{
    explicit Handover(std::shared_ptr<StepSide> owner) : side(std::move(owner)) {}
    ~Handover()
    {
        if (object)
            side->giveUp(object);
    }
    Handover(const Handover&) = delete;
    Handover& operator=(const Handover&) = delete;

    std::shared_ptr<StepSide> side;
    IDispatch* object = nullptr;
};

class ComObject final : public detail::ObjectBackend
{
public:
    ComObject(std::shared_ptr<const Steps> steps, IDispatch* object)
        : m_steps(std::move(steps)), m_object(object)
    {
        ++g_liveObjects;
    }
    ~ComObject() override
    {
        m_steps->side()->giveUp(m_object);
        --g_liveObjects;
    }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    Value property(const QString& name) override
    {
        auto value = std::make_shared<Value>();
        m_steps->run([object = m_object, name, value](StepSide&) {
            const Variant result =
                invoke(object, dispatchId(object, name), DISPATCH_PROPERTYGET, nullptr, 0, name);
            *value = valueOf(*result.get());
        });
        return *value;
    }

    Value call(const QString& method, const Value& argument) override
    {
        auto value = std::make_shared<Value>();
        m_steps->run([object = m_object, method, argument, value](StepSide&) {
            Bstr text;
            Variant arg;
            if (argument) {
                text = Bstr(*argument);
                V_VT(arg.get()) = VT_BSTR;
                V_BSTR(arg.get()) = text.release();
            } else {
                V_VT(arg.get()) = VT_NULL;
            }
            const Variant result =
                invoke(object, dispatchId(object, method), DISPATCH_METHOD, arg.get(), 1, method);
            *value = valueOf(*result.get());
        });
        return *value;
    }

    Value callByReference(const QString& method, QString& argument) override
    {
        struct Outcome
        {
            QString text;
            Value value;
        };
        auto outcome = std::make_shared<Outcome>(Outcome{argument, std::nullopt});
        m_steps->run([object = m_object, method, outcome](StepSide&) {
            Bstr text(outcome->text);
            Variant arg;
            V_VT(arg.get()) = VT_BYREF | VT_BSTR;
            V_BSTRREF(arg.get()) = text.slot();
            const Variant result =
                invoke(object, dispatchId(object, method), DISPATCH_METHOD, arg.get(), 1, method);
            outcome->text = text.text();
            outcome->value = valueOf(*result.get());
        });
        argument = outcome->text;
        return outcome->value;
    }

    void close() override
    {
        m_steps->run([object = m_object](StepSide&) {
            const QString name = u"SYS_Close"_s;
            invoke(object, dispatchId(object, name), DISPATCH_METHOD, nullptr, 0, name);
        });
    }

private:
    std::shared_ptr<const Steps> m_steps;
    IDispatch* m_object; // one reference, given up to the step side at the end
};

class ComFactory final : public detail::FactoryBackend
{
public:
    explicit ComFactory(StepRunner runner) : m_steps(std::make_shared<Steps>(std::move(runner))) {}

    ~ComFactory() override
    {
        try {
            m_steps->run([](StepSide& side) {
                if (side.onOwnThread())
                    side.factory.reset();
                else
                    static_cast<void>(side.factory.release()); // the process is ending
            });
        } catch (...) {
            // A release that could not be made is one reference left behind, nothing worse.
        }
    }
    ComFactory(const ComFactory&) = delete;
    ComFactory& operator=(const ComFactory&) = delete;

    bool connect(QString& connectString, QString& error, detail::ConnectFailure& failure) override
    {
        m_everConnected = true;
        if (const auto target = parseConnectString(connectString))
            m_steps->setAwaiting(awaitingServer(target->host, target->port));
        struct Outcome
        {
            QString text;
            bool connected = false;
        };
        auto outcome = std::make_shared<Outcome>(Outcome{connectString, false});
        try {
            m_steps->run([outcome](StepSide& side) {
                if (!side.factory)
                    side.factory = create();
                Bstr text(outcome->text);
                Variant arg;
                V_VT(arg.get()) = VT_BYREF | VT_BSTR;
                V_BSTRREF(arg.get()) = text.slot();
                const Variant result =
                    invoke(side.factory.get(), IdConnect, DISPATCH_METHOD, arg.get(), 1, u"Connect"_s);
                outcome->text = text.text();
                outcome->connected = truthOf(*result.get(), u"Connect"_s);
            });
        } catch (const Error& e) {
            error = e.description();
            failure = detail::ConnectFailure::Other;
            return false;
        }
        connectString = outcome->text;
        if (!outcome->connected) {
            error = u"Die Komponente \u201e%1\u201c hat keine Verbindung zu %2 hergestellt."_s.arg(
                progId(), connectString);
            failure = detail::ConnectFailure::Other;
            return false;
        }
        error.clear();
        failure = detail::ConnectFailure::None;
        return true;
    }

    void disconnect() override
    {
        try {
            m_steps->run([](StepSide& side) {
                if (side.factory)
                    invoke(side.factory.get(), IdDisconnect, DISPATCH_METHOD, nullptr, 0, u"Disconnect"_s);
            });
        } catch (const Error&) {
            // Closing what is not open, or a component gone silent: nothing is left to close.
        }
    }

    bool isConnected() override
    {
        if (!m_everConnected)
            throw noConnection();
        auto connected = std::make_shared<bool>(false);
        m_steps->run([connected](StepSide& side) {
            if (!side.factory)
                throw noConnection();
            const Variant result =
                invoke(side.factory.get(), IdIsConnected, DISPATCH_PROPERTYGET | DISPATCH_METHOD, nullptr, 0,
                       u"IsConnected"_s);
            *connected = truthOf(*result.get(), u"IsConnected"_s);
        });
        return *connected;
    }

    std::shared_ptr<detail::ObjectBackend> openId(const QString& className, const QString& id) override
    {
        auto handover = std::make_shared<Handover>(m_steps->side());
        m_steps->run([handover, className, id](StepSide& side) {
            static_assert(sizeof(Variant) == sizeof(VARIANT), "an array of Variant is one of VARIANT");
            Variant args[2];
            V_VT(args[0].get()) = VT_BSTR;
            V_BSTR(args[0].get()) = Bstr(id).release();
            V_VT(args[1].get()) = VT_BSTR;
            V_BSTR(args[1].get()) = Bstr(className).release();
            Variant result =
                invoke(connected(side), IdOpenId, DISPATCH_METHOD, args[0].get(), 2, u"OpenId"_s);
            handover->object = takeObject(result, u"OpenId"_s).release();
        });
        return adopt(*handover);
    }

    std::shared_ptr<detail::ObjectBackend> classObject(const QString& className) override
    {
        auto handover = std::make_shared<Handover>(m_steps->side());
        m_steps->run([handover, className](StepSide& side) {
            Variant arg;
            V_VT(arg.get()) = VT_BSTR;
            V_BSTR(arg.get()) = Bstr(className).release();
            Variant result =
                invoke(connected(side), IdClassObject, DISPATCH_METHOD, arg.get(), 1, u"ClassObject"_s);
            handover->object = takeObject(result, u"ClassObject"_s).release();
        });
        return adopt(*handover);
    }

private:
    static ComRef<IDispatch> create()
    {
        CLSID id;
        const std::wstring name = progId().toStdWString();
        HRESULT hr = CLSIDFromProgID(name.c_str(), &id);
        if (FAILED(hr))
            throw Error(static_cast<std::int32_t>(hr), notInstalled());
        ComRef<IDispatch> factory;
        hr = CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                              factory.out());
        if (FAILED(hr))
            throw Error(
                static_cast<std::int32_t>(hr),
                u"Die Komponente \u201e%1\u201c ist registriert, l\u00e4sst sich aber nicht anlegen "
                u"(HRESULT 0x%2). Bitte die Client-Komponente des Serverherstellers neu installieren."_s
                    .arg(progId())
                    .arg(static_cast<qulonglong>(static_cast<quint32>(hr)), 8, 16, QChar(u'0')));
        return factory;
    }

    static IDispatch* connected(StepSide& side)
    {
        if (!side.factory)
            throw noConnection();
        return side.factory.get();
    }

    std::shared_ptr<detail::ObjectBackend> adopt(Handover& handover) const
    {
        return std::make_shared<ComObject>(m_steps, std::exchange(handover.object, nullptr));
    }

    std::shared_ptr<Steps> m_steps;
    bool m_everConnected = false;
};

} // namespace

std::unique_ptr<detail::FactoryBackend> makeFactory(Timeouts, StepRunner runner)
{
    return std::make_unique<ComFactory>(std::move(runner));
}

int liveObjects()
{
    return g_liveObjects.load();
}

QString notInstalled()
{
    return u"Die Client-Komponente \u201e%1\u201c des Serverherstellers ist nicht installiert "
           u"(ProgID nicht registriert). Ohne sie ist kein Server erreichbar."_s.arg(progId());
}

} // namespace objfactory::com
