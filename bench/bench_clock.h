#pragma once

#include <chrono>

namespace plenvo::bench {

using Clock = std::chrono::steady_clock;

// How long a benchmark waits for what it measures before it reports failure.
constexpr double kGiveUpSeconds = 3.0;

inline double seconds_since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace plenvo::bench
