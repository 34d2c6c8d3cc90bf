#pragma once

#include <QPoint>
#include <QSize>

#include <algorithm>

#include "base/platform.h"

namespace plenvo {

// So much of the main window, in pixels each way, stays on the screen that
// it can always be seen and dragged back.
inline constexpr int kMinShownPixels = 32;

inline QSize grip_twips(const Platform& platform)
{
    return {kMinShownPixels * platform.twips_per_pixel_x(), kMinShownPixels * platform.twips_per_pixel_y()};
}

// The place nearest to `place` at which at least `shown` of a window of
// `size` lies on a screen of `screen` size, all in twips. With `shown`
// equal to `size` that is the nearest place showing the window whole (its
// top left corner on a screen smaller than the window).
inline QPoint keep_on_screen(QPoint place, QSize size, QSize screen, QSize shown)
{
    const auto fit = [](int at, int length, int screen_length, int shown_length) {
        return std::max(shown_length - length, std::min(at, screen_length - shown_length));
    };
    return {fit(place.x(), size.width(), screen.width(), shown.width()),
            fit(place.y(), size.height(), screen.height(), shown.height())};
}

}  // namespace plenvo
