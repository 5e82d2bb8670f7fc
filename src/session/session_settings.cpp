#include "session/session_settings.h"

namespace session {
namespace {

std::unique_ptr<SessionSettings>& record()
{
    static std::unique_ptr<SessionSettings> instance = std::make_unique<SessionSettings>();
    return instance;
}

} // namespace

SessionSettings& Session()
{
    return *record();
}

void resetSession()
{
    record() = std::make_unique<SessionSettings>();
}

QString siteDefaultServer()
{
    return QStringLiteral(PLENVARO_DEFAULT_SERVER);
}

} // namespace session
