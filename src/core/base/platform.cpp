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

}  // namespace plenvo
