#pragma once

#include <QElapsedTimer>

#include "base/platform.h"

namespace plenvo {

// The platform of the running program: Qt's event loop, QTimer, a steady
// clock, QCursor and the primary QScreen.
class QtPlatform final : public Platform {
public:
    QtPlatform();

    uint32_t tick_count() const override;
    QPoint cursor_pos() const override;
    QSize screen_twips() const override;
    int twips_per_pixel_x() const override;
    int twips_per_pixel_y() const override;
    std::unique_ptr<Timer> make_timer(int interval_ms) override;

private:
    QElapsedTimer clock_;
};

}  // namespace plenvo
