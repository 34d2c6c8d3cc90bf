#pragma once

#include <cstdio>
#include <cstdlib>

namespace plenvo::fuzz {

// A broken invariant: says which, then aborts so that the fuzzer keeps the
// input that broke it.
[[noreturn]] inline void broken(const char* invariant)
{
    std::fprintf(stderr, "invariant broken: %s\n", invariant);
    std::abort();
}

inline void require(bool holds, const char* invariant)
{
    if (!holds)
        broken(invariant);
}

}  // namespace plenvo::fuzz
