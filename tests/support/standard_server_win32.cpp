#include "standard_server.h"

using namespace Qt::Literals::StringLiterals;

namespace testsupport {

bool StandardServer::start()
{
    bool ok = false;
    const uint port = qEnvironmentVariable("PLENVARO_TEST_SERVER_PORT").toUInt(&ok);
    const QString log = qEnvironmentVariable("PLENVARO_TEST_SERVER_LOG");
    if (!ok || port == 0 || port > 65535 || log.isEmpty()) {
        m_error = u"no veldor-server: PLENVARO_TEST_SERVER_PORT and PLENVARO_TEST_SERVER_LOG are set by "
                  u"with_veldor_server.sh, which this test runs under"_s;
        return false;
    }
    m_port = static_cast<quint16>(port);
    m_log = ServerLog(log);
    return true;
}

} // namespace testsupport
