#pragma once

// One QTest class per area; main runs them all in one process.
int runMessageBoxTests(int argc, char** argv);
int runScreenTests(int argc, char** argv);
int runLoadedWindowTests(int argc, char** argv);
int runEndProgramTests(int argc, char** argv);
int runErrorHandlingTests(int argc, char** argv);
int runProgramLogTests(int argc, char** argv);
int runBlockingWaitTests(int argc, char** argv);

// The child-process half of the end-program test: ends from inside a modal dialog.
inline constexpr char EndProgramChildArgument[] = "--end-program-child";
int runEndProgramChild(int argc, char** argv);
