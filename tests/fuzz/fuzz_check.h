#pragma once

#include <cstdio>
#include <cstdlib>

namespace fuzz {

// A property the code under test must keep for every input. A broken one aborts, which libFuzzer
// and the corpus replay both report with the input that broke it; each text names one property.
inline void check(bool holds, const char* what)
{
    if (holds)
        return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

} // namespace fuzz
