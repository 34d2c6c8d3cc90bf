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

// Where the main window starts, in twips: the saved place, except that a top
// or left at or beyond the screen's far edge becomes 0 (a negative one is
// kept; the window's size plays no part in that). Only a place that then
// shows less than `grip` of the window on the screen brings it back whole
// at the nearest edge.
inline QPoint start_up_place(QPoint saved, QSize size, QSize screen, QSize grip)
{
    const QPoint place(saved.x() < screen.width() ? saved.x() : 0, saved.y() < screen.height() ? saved.y() : 0);
    const bool lost = keep_on_screen(place, size, screen, grip) != place;
    return lost ? keep_on_screen(place, size, screen, size) : place;
}

}  // namespace plenvo
