#pragma once

#include "platform/forms/error.h"
#include "platform/objfactory/factory.h"

#include <QLineEdit>
#include <QString>

#include <cstdint>

namespace session {

// Opens the connection if needed and stops the idle timer; every server access starts here.
void BeginServerAccess(bool busy);
// Starts the idle timer again, so an idle program gives its licence back after 30 seconds.
void EndServerAccess(bool resetPointer);

// The one report of a failed server call, naming the operation; ends the server access.
void ShowAccessError(const forms::ShownError& error, const QString& operation);
// Releases a server object; never fails; the reference is empty afterwards.
void CloseServerObject(objfactory::ServerObject& object);
// Waits n hundredths of a second while the windows stay responsive; elapsed in whole seconds.
void WaitHundredths(std::int32_t n, std::int32_t& elapsed);
// Unloads every loaded window, newest first, and ends the program.
// exitStatus: 0 when the user chose to end, 1 when the program ends on a failure it has reported.
[[noreturn]] void ShutdownProgram(int exitStatus = 0);
void SelectAllText(QLineEdit& box, bool hasFocus);

// A server value used as text: a value the server has none for cannot be, as the runtime said.
QString ValueText(const objfactory::Value& value);

// The idle timer's tick.
void Lock_Timer();

inline constexpr int IdleDisconnectMs = 30000;

} // namespace session
