#include "registry_sandbox.h"

#include "platform/winreg/registry_api.h"

#include <QFile>
#include <QTemporaryDir>

using namespace Qt::Literals::StringLiterals;

namespace testsupport {

struct RegistrySandbox::State
{
    QTemporaryDir dir;
};

RegistrySandbox::RegistrySandbox() : m_state(std::make_unique<State>())
{
    if (!m_state->dir.isValid()) {
        m_error = u"no temporary folder for the registry store: %1"_s.arg(m_state->dir.errorString());
        return;
    }
    qputenv("PLENVARO_REGISTRY", QFile::encodeName(m_state->dir.filePath(u"registry.sqlite3"_s)));
    // The store in use is cached per process; the next call opens the new one.
    plenvaroRegistryReset();
}

RegistrySandbox::~RegistrySandbox()
{
    plenvaroRegistryReset();
}

} // namespace testsupport
