#pragma once

// The skin: every picture the three windows show, committed as BMP files in
// images/ and stored by the build as Qt resources of pixels (packed_picture.h)
// under upper-case names (":/skin/COM1_ON"), looked up in any case. Each is
// there twice: as drawn for a screen of device pixel ratio 1, and drawn at
// twice the size (":/skin/2x/COM1_ON") for scaled screens.

#include <QIcon>
#include <QLatin1StringView>
#include <QPixmap>
#include <QString>
#include <QStringView>

#include <array>

namespace plenvo::skin {

struct BitmapSize {
    const char* name;
    int width;
    int height;
};

// The state bitmaps, by the names the panel asks for, with their pixel sizes.
// A name is a family, an underscore and a state (on, off, err, disable); in
// the families "on" and "off" the first word names the button, so "off_on" is
// the lit picture of an off button. Every state of a family has one size, so
// an element keeps its place and size whatever state it shows.
inline constexpr std::array<BitmapSize, 53> kStateBitmaps{{
    {"power_on", 49, 41},    {"power_off", 49, 41},

    {"cv_on", 58, 26},       {"cv_off", 58, 26},       {"sv_on", 58, 26},
    {"sv_off", 58, 26},      {"yuv_on", 58, 26},       {"yuv_off", 58, 26},
    {"pc_on", 58, 26},       {"pc_off", 58, 26},

    {"vga_on", 58, 26},      {"vga_off", 58, 26},      {"480p_on", 58, 26},
    {"480p_off", 58, 26},    {"svga_on", 58, 26},      {"svga_off", 58, 26},
    {"576p_on", 58, 26},     {"576p_off", 58, 26},     {"xga_on", 58, 26},
    {"xga_off", 58, 26},     {"sxga_on", 58, 26},      {"sxga_off", 58, 26},
    {"1080i_on", 58, 26},    {"1080i_off", 58, 26},    {"720p_on", 58, 26},
    {"720p_off", 58, 26},

    {"bypass_on", 84, 26},   {"bypass_off", 84, 26},   {"bypass_disable", 84, 26},

    {"adj_on", 105, 25},     {"adj_off", 105, 25},     {"video_on", 105, 25},
    {"video_off", 105, 25},

    {"com1_on", 47, 20},     {"com1_off", 47, 20},     {"com1_err", 47, 20},
    {"com2_on", 47, 20},     {"com2_off", 47, 20},     {"com2_err", 47, 20},

    {"on_on", 33, 16},       {"on_off", 33, 16},       {"off_on", 33, 16},
    {"off_off", 33, 16},     {"43_on", 33, 16},        {"43_off", 33, 16},
    {"169_on", 33, 16},      {"169_off", 33, 16},      {"std_on", 33, 16},
    {"std_off", 33, 16},

    {"enable_on", 46, 18},   {"enable_off", 46, 18},   {"disable_on", 46, 18},
    {"disable_off", 46, 18},
}};

// Window backgrounds and the pictures that never change.
inline constexpr const char* kMainBackground = "main_form";   // 470x175
inline constexpr const char* kAdjBackground = "adj_form";     // 230x175
inline constexpr const char* kVideoBackground = "video_form"; // 510x90
inline constexpr const char* kLogo = "logo";                  // 79x18
inline constexpr const char* kMinimise = "minimise";          // 15x12
inline constexpr const char* kExit = "exit";                  // 15x12
inline constexpr const char* kReset = "reset";                // 29x81
inline constexpr const char* kIcon = "icon";                  // 16x16, 256 colours (8-bit BMP)

inline constexpr std::array<BitmapSize, 8> kFixedPictures{{
    {kMainBackground, 470, 175},
    {kAdjBackground, 230, 175},
    {kVideoBackground, 510, 90},
    {kLogo, 79, 18},
    {kMinimise, 15, 12},
    {kExit, 15, 12},
    {kReset, 29, 81},
    {kIcon, 16, 16},
}};

// The device pixel ratio pictures are chosen for: the application's, that
// of its most scaled screen.
qreal screenPixelRatio();

// A skin picture by name, in any case ("com1_on", "COM1_ON", "Com1_On"); a
// null pixmap for an unknown name. Above a device pixel ratio of 1 it is the
// picture drawn at twice the size, with its device pixel ratio set to 2 so
// that it keeps its size in the window's own pixels. Cheap enough for every
// redraw: a picture is read from the resources once and then served from
// QPixmapCache.
QPixmap picture(QStringView name, qreal devicePixelRatio = screenPixelRatio());
// The same for the names of the panel's tables, without a conversion first.
QPixmap picture(QLatin1StringView name, qreal devicePixelRatio = screenPixelRatio());

// The icon's square sizes in pixels. Each is a PNG beside the pictures, at
// iconFile(size) below ":/skin/" and below src/windows/skin/images, where
// icons/plenvo.svg is the scalable one.
inline constexpr std::array kIconSizes{16, 32, 48, 64, 128, 256};
inline QString iconFile(int size) {
    return QStringLiteral("icons/plenvo-%1.png").arg(size);
}
// The icon in all its sizes, for the windows; each is read when first shown.
QIcon icon();

}  // namespace plenvo::skin
