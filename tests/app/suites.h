#pragma once

#include <QString>

// One QTest class per file; main runs them all in one process.
int runMainWindowTests(int argc, char** argv);
int runAppRulesTests(int argc, char** argv);

// The child-process half of the main window's tests: the program as it runs for a user, ended for real.
// name is the value of PLENVARO_APP_TEST_CHILD.
int runChildScenario(const QString& name);
