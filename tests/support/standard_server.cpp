#include "standard_server.h"

using namespace Qt::Literals::StringLiterals;

namespace testsupport {

QString StandardServer::connectString() const
{
    return u"cn_iptcp:127.0.0.1[%1]:VELDOR"_s.arg(m_port);
}

} // namespace testsupport
