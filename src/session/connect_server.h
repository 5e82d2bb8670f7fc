#pragma once

#include <QString>

namespace session {

// Makes sure the server connection is open: up to three attempts with the settings dialog in
// between; sets the server context after connecting. Ends the program after the third failure.
void ConnectServer();
// Closes the connection if one is open; never fails.
void DisconnectServer();

// The connected query of the session's connection; raises an error when there is none yet.
bool IsConnected();

// The line that tells the server which company, branch and user this session works for.
QString ContextLine(const QString& company, const QString& branch, const QString& personal);

} // namespace session
