#pragma once

#include <QElapsedTimer>

#include "base/platform.h"

namespace plenvo {

// The platform of the running program: Qt's event loop, QTimer and a steady
// clock. It knows no screen: the cursor stays at the origin, the screen has
// no size, and a pixel is 15 twips as at 96 dpi. The windows' platform adds
// the cursor and the screen; the core links no Qt Gui.
class QtPlatform : public Platform {
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
