#pragma once

#include "server_log.h"

#include <QString>

#include <memory>

namespace testsupport {

// veldor-server on the standard data, for tests that only talk to it. Where the test runs on Linux it
// starts its own (a ServerProcess); a Windows test under Wine cannot wait for a Linux process, so there
// its wrapper (with_veldor_server.sh) starts one per test program and names it in the environment.
class StandardServer final
{
public:
    static constexpr int Licences = 32;

    bool start(); // false with error() saying why
    quint16 port() const { return m_port; }
    QString connectString() const;
    const ServerLog& log() const { return m_log; }
    bool waitForLog(const QString& text, int timeoutMs = 5000) const
    {
        return m_log.waitForCount(text, 1, timeoutMs);
    }
    const QString& error() const { return m_error; }

private:
    std::shared_ptr<void> m_process; // the server, where this test started it
    quint16 m_port = 0;
    ServerLog m_log;
    QString m_error;
};

} // namespace testsupport
