#pragma once

#include <QLoggingCategory>

namespace session {

// The program log's area of connecting, logging in and the idle disconnect.
Q_DECLARE_LOGGING_CATEGORY(lcSession)

} // namespace session
