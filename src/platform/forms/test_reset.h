#pragma once

namespace forms {

// Puts every seam of this library back to its start state: queued answers, message log, answerer,
// fail-if-unanswered, beep count, mouse pointer, end handler and routines, and the loaded-window list.
void resetForTests();

} // namespace forms
