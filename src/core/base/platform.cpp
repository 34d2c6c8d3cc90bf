#include "base/platform.h"

namespace plenvo {

void Timer::set_enabled(bool on)
{
    if (on == enabled_)
        return;
    enabled_ = on;
    if (on)
        start();
    else
        stop();
}

void Timer::set_interval(int ms)
{
    interval_ms_ = ms;
    if (enabled_) {
        stop();
        start();
    }
}

void wait_seconds(Platform& platform, float seconds, const std::function<bool()>& stop_early)
{
    const uint32_t t0 = platform.tick_count();
    // Unsigned subtraction stays right when the tick count wraps mid-wait.
    auto elapsed = [&] { return float(uint32_t(platform.tick_count() - t0)) / 1000.0f; };
    while (!(elapsed() > seconds)) {
        platform.yield();
        if (stop_early && stop_early())
            return;
        platform.pause();
    }
}

}  // namespace plenvo
