#pragma once

namespace session {

// Reads the settings store into the session and into both dialogs' boxes.
void LoadSettings();
// First step of every login attempt: credentials from the command line or the store, the login
// dialog when they are not usable, then the connect string.
void PrepareLogin();
// "cn_iptcp:" + address + "[" + port + "]:VELDOR".
void BuildConnectString();
// True when the command line supplies the settings of the next attempt.
bool CommandLineSupplies();

} // namespace session
