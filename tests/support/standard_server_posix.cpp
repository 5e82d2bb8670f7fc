#include "server_process.h"
#include "standard_server.h"

namespace testsupport {

bool StandardServer::start()
{
    auto process = std::make_shared<ServerProcess>();
    if (!process->start(ServerProcess::standardData(), Licences)) {
        m_error = process->error();
        return false;
    }
    m_port = process->port();
    m_log = ServerLog(process->logPath());
    m_process = std::move(process);
    return true;
}

} // namespace testsupport
