#pragma once

namespace forms {

// A windowed program has no console of its own on Windows: its answers to --help and --version go to
// the console it was started from, unless its output is already redirected. Nothing to do elsewhere.
void writeToParentConsole();

} // namespace forms
