#pragma once

#include <memory>

class QWidget;
class frmAbout;
class frmProgrammverlauf;
class frmSuchen;

namespace dialogs {
class FMPass;
class FMServer;
} // namespace dialogs

// Every window of the program and how long it lives. There is one instance per kind; each accessor
// creates its window hidden on first use. The windows are held here through guarded pointers only, so
// no static destructor can ever run a widget destructor: destroyAll() deletes them, newest first, on
// every way the program ends (the end routine of forms::endProgram, and main's return), while the
// application object still lives.
namespace dialogs::windows {

// The main window, made by the program's start and handed over here; null before.
void adoptMainWindow(std::unique_ptr<QWidget> window);
QWidget* mainWindow();

// Login dialog and server settings dialog (which also hosts the idle timer): only shown and hidden
// after creation, so their boxes keep their texts for the whole run.
FMPass& fmPass();
FMServer& fmServer();
// Program log: the user's close only hides it.
frmProgrammverlauf& programmverlauf();
// Find dialog: closing only hides it, so its text stays for the next search.
frmSuchen& suchen();
// About box: unloading (closing) deletes it, so the next call loads it afresh.
frmAbout& about();

// The window of that kind if it exists (for the about box: if it is still loaded); nothing is created.
FMPass* existingFmPass();
FMServer* existingFmServer();
frmProgrammverlauf* existingProgrammverlauf();
frmSuchen* existingSuchen();
frmAbout* existingAbout();

// Makes the login and server settings dialogs the ones the session's routines use, destroyAll() part
// of the program's end, and the log window a sink of the program's log entries (beside stderr).
void install();

// Deletes every window still alive, newest first. Safe to call twice; afterwards each accessor
// creates a new window.
void destroyAll();

} // namespace dialogs::windows
