#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "base/platform.h"

namespace plenvo::testing {

// A platform on a virtual clock. Every yield advances the clock by one
// millisecond and then runs, in time order, the timers that fell due and
// the events the test scheduled. Nothing here sleeps or reads real time.
class SimPlatform final : public Platform {
public:
    // `start_tick` lets a test put the wrapping tick counter anywhere.
    explicit SimPlatform(uint32_t start_tick = 0);
    ~SimPlatform() override;

    // One turn of the message loop: the clock moves on by a millisecond.
    void yield();
    uint32_t tick_count() const override { return uint32_t(start_tick_ + now_); }
    QPoint cursor_pos() const override { return cursor_; }
    QSize screen_twips() const override;
    int twips_per_pixel_x() const override { return twips_per_pixel_; }
    int twips_per_pixel_y() const override { return twips_per_pixel_; }
    std::unique_ptr<Timer> make_timer(int interval_ms) override;

    // Virtual milliseconds since construction.
    uint64_t now() const { return now_; }

    // Runs `event` once the clock reaches `when` (virtual ms since construction).
    void at(uint64_t when, std::function<void()> event);
    void after(uint64_t delay, std::function<void()> event) { at(now_ + delay, std::move(event)); }

    // The idle message loop: yields until the clock has advanced by `ms`.
    void run_for(uint64_t ms);

    void set_cursor(QPoint pos) { cursor_ = pos; }
    void set_screen_pixels(QSize size) { screen_pixels_ = size; }
    void set_twips_per_pixel(int twips) { twips_per_pixel_ = twips; }

    class SimTimer;

private:
    struct Event {
        uint64_t when;
        uint64_t seq;
        std::function<void()> run;
    };

    void run_due();

    uint64_t start_tick_;
    uint64_t now_ = 0;
    uint64_t next_seq_ = 0;
    QPoint cursor_{100, 100};
    QSize screen_pixels_{1920, 1080};
    int twips_per_pixel_ = 15;
    std::vector<Event> events_;
    std::vector<SimTimer*> timers_;
};

}  // namespace plenvo::testing
