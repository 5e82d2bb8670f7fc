#pragma once

#include <cstdio>
#include <optional>

namespace app {

// "--help" and "--version" as the first argument: the answer goes to out and the program ends with the
// returned status, before any window or display is needed. Credentials always start with a number, so
// these words are never taken from a user's login. Nothing (nullopt) for every other command line.
std::optional<int> answerInformationRequest(int argc, char** argv, std::FILE* out);
// True when answerInformationRequest would answer.
bool isInformationRequest(int argc, char** argv);

} // namespace app
