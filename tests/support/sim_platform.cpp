#include "support/sim_platform.h"

#include <QCoreApplication>

#include <algorithm>

namespace plenvo::testing {

class SimPlatform::SimTimer final : public Timer {
public:
    SimTimer(SimPlatform& platform, int interval_ms) : Timer(interval_ms), platform_(platform)
    {
        platform_.timers_.push_back(this);
    }
    ~SimTimer() override { std::erase(platform_.timers_, this); }

    bool due(uint64_t now) const { return enabled() && !running_ && next_due_ <= now; }
    uint64_t next_due() const { return next_due_; }

    void fire()
    {
        next_due_ = platform_.now_ + uint64_t(std::max(1, interval()));
        running_ = true;
        if (on_tick)
            on_tick();
        running_ = false;
    }

protected:
    void start() override { next_due_ = platform_.now_ + uint64_t(std::max(1, interval())); }
    void stop() override {}

private:
    SimPlatform& platform_;
    uint64_t next_due_ = 0;
    bool running_ = false;
};

SimPlatform::SimPlatform(uint32_t start_tick) : start_tick_(start_tick) {}

SimPlatform::~SimPlatform() = default;

QSize SimPlatform::screen_twips() const
{
    return screen_pixels_ * twips_per_pixel_;
}

std::unique_ptr<Timer> SimPlatform::make_timer(int interval_ms)
{
    return std::make_unique<SimTimer>(*this, interval_ms);
}

void SimPlatform::at(uint64_t when, std::function<void()> event)
{
    events_.push_back({when, next_seq_++, std::move(event)});
}

void SimPlatform::yield()
{
    ++now_;
    run_due();
    // Widgets under test may post Qt events of their own (deferred deletes
    // posted by nested handlers, repaints).
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

void SimPlatform::run_for(uint64_t ms)
{
    const uint64_t until = now_ + ms;
    while (now_ < until)
        yield();
}

void SimPlatform::run_due()
{
    for (;;) {
        // The earliest due item runs first; events before timers at a tie.
        auto event = std::min_element(events_.begin(), events_.end(), [](const Event& a, const Event& b) {
            return a.when != b.when ? a.when < b.when : a.seq < b.seq;
        });
        const bool event_due = event != events_.end() && event->when <= now_;
        SimTimer* timer = nullptr;
        for (SimTimer* t : timers_)
            if (t->due(now_) && (!timer || t->next_due() < timer->next_due()))
                timer = t;

        if (event_due && (!timer || event->when <= timer->next_due())) {
            auto run = std::move(event->run);
            events_.erase(event);
            run();
        } else if (timer) {
            timer->fire();
        } else {
            return;
        }
    }
}

}  // namespace plenvo::testing
