#pragma once

#include <QPoint>
#include <QSize>

#include <cstdint>
#include <functional>
#include <memory>

namespace plenvo {

// A window-system timer: while enabled, calls `on_tick` every `interval`
// milliseconds.
class Timer {
public:
    virtual ~Timer() = default;

    int interval() const { return interval_ms_; }
    bool enabled() const { return enabled_; }

    // Enabling an enabled timer, or disabling a disabled one, changes nothing.
    void set_enabled(bool on);
    void set_interval(int ms);

    std::function<void()> on_tick;

protected:
    explicit Timer(int interval_ms) : interval_ms_(interval_ms) {}
    virtual void start() = 0;
    virtual void stop() = 0;

private:
    int interval_ms_;
    bool enabled_ = false;
};

// What the program needs of the machine it runs on: timers, a wrapping
// millisecond tick count, the cursor and the screen. The program runs on
// Qt; tests run on a simulated clock.
class Platform {
public:
    virtual ~Platform() = default;

    // Milliseconds since some start, wrapping at 2^32.
    virtual uint32_t tick_count() const = 0;
    // The cursor position in screen pixels.
    virtual QPoint cursor_pos() const = 0;
    // The primary screen's size in twips.
    virtual QSize screen_twips() const = 0;
    virtual int twips_per_pixel_x() const = 0;
    virtual int twips_per_pixel_y() const = 0;

    virtual std::unique_ptr<Timer> make_timer(int interval_ms) = 0;
};

}  // namespace plenvo
