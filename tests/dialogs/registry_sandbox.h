#pragma once

#include <QString>

#include <memory>

namespace testsupport {

// A registry of the test's own, empty at the start and gone at the end, so tests neither see nor change
// the settings of the user running them. Where the registry is the portable store, this is a store file
// of its own; on Windows, keys of its own that stand in for HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE
// in this process.
class RegistrySandbox final
{
public:
    RegistrySandbox();
    ~RegistrySandbox();
    Q_DISABLE_COPY_MOVE(RegistrySandbox)

    bool isValid() const { return m_error.isEmpty(); }
    const QString& error() const { return m_error; }

private:
    struct State;
    std::unique_ptr<State> m_state;
    QString m_error;
};

} // namespace testsupport
