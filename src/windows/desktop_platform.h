#pragma once

#include "base/qt_platform.h"

namespace plenvo {

// The platform of the windowed program: Qt's timers and clock, with the
// cursor from QCursor and the screen from the primary QScreen.
class DesktopPlatform final : public QtPlatform {
public:
    QPoint cursor_pos() const override;
    QSize screen_twips() const override;
    int twips_per_pixel_x() const override;
    int twips_per_pixel_y() const override;
};

}  // namespace plenvo
