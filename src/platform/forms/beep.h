#pragma once

namespace forms {

void beep();

// How often beep() ran since the last reset, for tests.
int beepCount();
void resetBeepCount();

} // namespace forms
