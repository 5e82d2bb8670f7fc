#pragma once

#include <QString>

#include <functional>

namespace forms {

// Runs step, a call that blocks (a server round trip, a database read), on the program's one worker
// thread while the calling window thread keeps its windows painting and answering the window system.
// Input to the windows is held back meanwhile and handed on afterwards, and handlers that fire meanwhile
// (timer ticks) run after the step, so the program's handlers still run one at a time. From about
// 100 ms on the pointer shows busy; after about 2 s (a quarter of a second while no window of the
// program is on screen, so a login shows something from the start) a note says what is awaited
// ("what") and offers "Abbrechen".
// Abbrechen calls cancel (from the window thread), which must make step end soon with its own error;
// without cancel the step is abandoned instead: it runs on but its end is not awaited, and false is
// returned, so step must own what it uses. An error step raises is raised here.
// Called off the window thread, or without an application, step simply runs in place.
bool awaitStep(const QString& what, std::function<void()> step, std::function<void()> cancel = {});

// True while awaitStep waits on the window thread.
bool awaitingStep();

// A handler that fires while a step is awaited runs once it is over, in the order they fired.
void runAfterAwaitedStep(std::function<void()> handler);

// Timings of the wait, for tests; defaults restored by resetAwaitTimings().
struct AwaitTimings
{
    int busyPointerMs = 100;
    int noteMs = 2000;
    int noteAloneMs = 250;
};
void setAwaitTimings(AwaitTimings timings);
void resetAwaitTimings();

} // namespace forms
