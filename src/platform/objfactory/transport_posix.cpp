#include "platform/objfactory/factory.h"
#include "platform/objfactory/transport.h"
#include "platform/wire/wire.h"

using namespace Qt::Literals::StringLiterals;

namespace objfactory {

Transport programTransport()
{
    return Transport::Wire;
}

namespace detail {
namespace {

// There is no component model here: every connect fails as an uninstalled component does.
class NoComFactory final : public FactoryBackend
{
public:
    bool connect(QString&, QString& error, ConnectFailure& failure) override
    {
        m_everConnected = true;
        error = u"Die Komponente \u201e%1\u201c gibt es nur unter Windows."_s.arg(
            QLatin1StringView(Factory::ProgId));
        failure = ConnectFailure::Other;
        return false;
    }
    void disconnect() override {}
    bool isConnected() override
    {
        if (!m_everConnected)
            throw Error(wire::error::NotConnected, u"Keine Verbindung zum Server"_s);
        return false;
    }
    std::shared_ptr<ObjectBackend> openId(const QString&, const QString&) override { return fail(); }
    std::shared_ptr<ObjectBackend> classObject(const QString&) override { return fail(); }

private:
    [[noreturn]] static std::shared_ptr<ObjectBackend> fail()
    {
        throw Error(wire::error::NotConnected, u"Keine Verbindung zum Server"_s);
    }
    bool m_everConnected = false;
};

} // namespace

std::unique_ptr<FactoryBackend> makeComBackend(Timeouts, StepRunner)
{
    return std::make_unique<NoComFactory>();
}

} // namespace detail
} // namespace objfactory
