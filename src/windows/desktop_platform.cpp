#include "windows/desktop_platform.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace plenvo {

namespace {

constexpr int kTwipsPerInch = 1440;

int twips_per_pixel(qreal logical_dpi)
{
    if (logical_dpi <= 0)
        return 15;
    return std::max(1, int(std::lround(kTwipsPerInch / logical_dpi)));
}

}  // namespace

QPoint DesktopPlatform::cursor_pos() const
{
    return QCursor::pos();
}

QSize DesktopPlatform::screen_twips() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    const QSize px = screen->size();
    return {px.width() * twips_per_pixel_x(), px.height() * twips_per_pixel_y()};
}

int DesktopPlatform::twips_per_pixel_x() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return twips_per_pixel(screen ? screen->logicalDotsPerInchX() : 0);
}

int DesktopPlatform::twips_per_pixel_y() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return twips_per_pixel(screen ? screen->logicalDotsPerInchY() : 0);
}

}  // namespace plenvo
