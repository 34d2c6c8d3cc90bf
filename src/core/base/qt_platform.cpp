#include "base/qt_platform.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <cmath>

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

constexpr int kTwipsPerInch = 1440;

int twips_per_pixel(qreal logical_dpi)
{
    if (logical_dpi <= 0)
        return 15;
    return std::max(1, int(std::lround(kTwipsPerInch / logical_dpi)));
}

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
    return QCursor::pos();
}

QSize QtPlatform::screen_twips() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    const QSize px = screen->size();
    return {px.width() * twips_per_pixel_x(), px.height() * twips_per_pixel_y()};
}

int QtPlatform::twips_per_pixel_x() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return twips_per_pixel(screen ? screen->logicalDotsPerInchX() : 0);
}

int QtPlatform::twips_per_pixel_y() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return twips_per_pixel(screen ? screen->logicalDotsPerInchY() : 0);
}

std::unique_ptr<Timer> QtPlatform::make_timer(int interval_ms)
{
    return std::make_unique<QtTimer>(interval_ms);
}

}  // namespace plenvo
