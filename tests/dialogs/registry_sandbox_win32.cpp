#include "registry_sandbox.h"

#include <QUuid>

#include <windows.h>

#include <tuple>

using namespace Qt::Literals::StringLiterals;

namespace testsupport {
namespace {

const QString Parent = u"Software\\Plenvaro tests"_s;

QString describe(LSTATUS status)
{
    return u"Windows error %1"_s.arg(status);
}

} // namespace

// The sandbox lives below the real HKEY_CURRENT_USER, one key per sandbox, so tests running side by side
// keep apart. RegOverridePredefKey redirects the two roots for this process only.
struct RegistrySandbox::State
{
    QByteArray name;
    HKEY currentUser = nullptr;
    HKEY localMachine = nullptr;
    bool overridden = false;

    ~State()
    {
        if (overridden) {
            RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
            RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        }
        if (currentUser != nullptr)
            RegCloseKey(currentUser);
        if (localMachine != nullptr)
            RegCloseKey(localMachine);
        if (!name.isEmpty()) {
            RegDeleteTreeA(HKEY_CURRENT_USER, name.constData());
            RegDeleteKeyA(HKEY_CURRENT_USER, name.constData());
            // Fails while another sandbox is open, which is as it should be.
            RegDeleteKeyA(HKEY_CURRENT_USER, Parent.toLatin1().constData());
        }
    }
};

RegistrySandbox::RegistrySandbox() : m_state(std::make_unique<State>())
{
    State& state = *m_state;
    const QString name = Parent + u'\\' + QUuid::createUuid().toString(QUuid::WithoutBraces);
    const auto create = [this](const QString& path, HKEY* key) {
        const LSTATUS status =
            RegCreateKeyExA(HKEY_CURRENT_USER, path.toLatin1().constData(), 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key, nullptr);
        if (status != ERROR_SUCCESS)
            m_error = u"cannot create HKEY_CURRENT_USER\\%1: %2"_s.arg(path, describe(status));
        return status == ERROR_SUCCESS;
    };
    const auto createClosed = [&create](const QString& path) {
        HKEY key = nullptr;
        if (!create(path, &key))
            return false;
        RegCloseKey(key);
        return true;
    };
    if (!createClosed(name))
        return;
    state.name = name.toLatin1();
    // As a fresh Windows has them, like the portable store's new file.
    if (!createClosed(name + u"\\HKCU\\Software"_s) || !createClosed(name + u"\\HKLM\\SOFTWARE"_s) ||
        !create(name + u"\\HKCU"_s, &state.currentUser) || !create(name + u"\\HKLM"_s, &state.localMachine))
        return;

    state.overridden = true;
    for (const auto& [root, key, label] :
         {std::tuple{HKEY_CURRENT_USER, state.currentUser, "CURRENT_USER"},
          std::tuple{HKEY_LOCAL_MACHINE, state.localMachine, "LOCAL_MACHINE"}}) {
        const LSTATUS status = RegOverridePredefKey(root, key);
        if (status != ERROR_SUCCESS) {
            m_error = u"cannot redirect HKEY_%1: %2"_s.arg(QLatin1StringView(label), describe(status));
            return;
        }
    }
}

RegistrySandbox::~RegistrySandbox() = default;

} // namespace testsupport
