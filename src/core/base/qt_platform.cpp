#include "base/qt_platform.h"

#include <QTimer>

namespace plenvo {

namespace {

class QtTimer final : public Timer {
public:
    explicit QtTimer(int interval_ms) : Timer(interval_ms)
    {
        // A coarse timer may fire 5 % early or late: the one-second
        // time-out would then allow five or six re-sends at random.
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (on_tick)
                on_tick();
        });
    }

protected:
    void start() override { timer_.start(interval()); }
    void stop() override { timer_.stop(); }

private:
    QTimer timer_;
};

constexpr int kTwipsPerPixel = 15;

}  // namespace

QtPlatform::QtPlatform()
{
    clock_.start();
}

uint32_t QtPlatform::tick_count() const
{
    return uint32_t(clock_.elapsed());
}

QPoint QtPlatform::cursor_pos() const
{
    return {};
}

QSize QtPlatform::screen_twips() const
{
    return {};
}

int QtPlatform::twips_per_pixel_x() const
{
    return kTwipsPerPixel;
}

int QtPlatform::twips_per_pixel_y() const
{
    return kTwipsPerPixel;
}

std::unique_ptr<Timer> QtPlatform::make_timer(int interval_ms)
{
    return std::make_unique<QtTimer>(interval_ms);
}

}  // namespace plenvo
