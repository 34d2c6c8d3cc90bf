// Regenerate the skin: build plenvo-skin-gen, run `build/bin/plenvo-skin-gen src/windows/skin/images`, commit the pictures.

// Draws every skin picture: the state bitmaps of the keys and indicators, the
// three window backgrounds with their headings and setting names placed from
// the layout tables, the fixed pictures and the icon. The art imitates a
// rack unit's front panel: dark brushed metal, keys in recessed wells, lit
// keys glowing in their lamp colour. All noise comes from a fixed-seed
// generator, so a run on the same fonts gives the same bytes.
//
// Every picture is drawn twice: at its size, and into 2x/ at twice its size
// for scaled screens. The second is a real drawing at double resolution
// (the painter works in the picture's own pixels on an image of device pixel
// ratio 2), so its text and curves are sharp, not doubled pixels. The icon
// is drawn once more in the desktop's sizes and as a scalable picture.

#include "skin/layout.h"
#include "skin/skin.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <random>
#include <string_view>

namespace {

using namespace plenvo;

// ---- Colours ---------------------------------------------------------------

constexpr QRgb kAmber = 0xE8961A;
constexpr QRgb kBlue = 0x2A8CE0;
constexpr QRgb kGreen = 0x2EB24A;
constexpr QRgb kRed = 0xD8302A;

constexpr QRgb kMetal = 0x3A3C40;      // panel metal, before the brushing
constexpr QRgb kBay = 0x222326;        // flat floor of a recess
constexpr QRgb kWellRim = 0x141416;    // the dark gap around a mounted key
constexpr QRgb kEngraving = 0xC8CACE;  // printed legends
constexpr QRgb kLcd = 0xC4CCBE;        // the plain display behind the message line

QColor shade(QRgb rgb, double factor) {
    const auto channel = [factor](int v) { return std::clamp(static_cast<int>(v * factor), 0, 255); };
    return {channel(qRed(rgb)), channel(qGreen(rgb)), channel(qBlue(rgb))};
}

// A picture of `width` by `height` of its own pixels, `scale` times as many
// device pixels across; painters on it work in its own pixels.
QImage canvas(int width, int height, int scale) {
    QImage image(width * scale, height * scale, QImage::Format_RGB888);
    image.setDevicePixelRatio(scale);
    return image;
}

QRect ownRect(const QImage& image) {
    return {QPoint(), image.deviceIndependentSize().toSize()};
}

// ---- Fonts -----------------------------------------------------------------

// Bold condensed sans with full hinting stays legible down to 7 pixels.
QFont panelFont(int pixelSize, bool bold = true) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStretch(QFont::Condensed);
    font.setBold(bold);
    font.setPixelSize(pixelSize);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

// `font`, made smaller until `text` fits `width` (but never below 6 pixels).
QFont fitted(QFont font, const QString& text, int width) {
    for (int size = font.pixelSize(); size > 6 && QFontMetrics(font).horizontalAdvance(text) > width;) {
        font.setPixelSize(--size);
    }
    return font;
}

// ---- Drawing primitives ----------------------------------------------------

QRect toPixels(const layout::Rect& r) {
    const auto px = [](int twips) {
        return (2 * twips + layout::kDesignTwipsPerPixel) / (2 * layout::kDesignTwipsPerPixel);
    };
    return {px(r.left), px(r.top), px(r.width), px(r.height)};
}

template <std::size_t N>
QRect elementRect(const std::array<layout::Element, N>& table, int index) {
    const auto it = std::find_if(table.begin(), table.end(), [index](const auto& e) { return e.index == index; });
    return toPixels(it->rect);
}

template <std::size_t N>
QRect unitedRect(const std::array<layout::Element, N>& table, std::initializer_list<int> indexes) {
    QRect united;
    for (int index : indexes) {
        united = united.united(elementRect(table, index));
    }
    return united;
}

// A one-pixel edge: light on top and left, dark on bottom and right (raised),
// or the other way round (sunken).
void drawEdge(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    p.setPen(topLeft);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(bottomRight);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

// The cut-out a key is mounted in: a dark gap with a lit lower lip.
void drawWell(QPainter& p, const QRect& key) {
    const QRect well = key.adjusted(-1, -1, 1, 1);
    p.fillRect(well, QColor(kWellRim));
    drawEdge(p, well.adjusted(-1, -1, 1, 1), shade(kMetal, 0.6), shade(kMetal, 1.6));
}

// A recessed flat floor, for groups of keys and plain display areas.
void drawBay(QPainter& p, const QRect& r, const QColor& floor) {
    p.fillRect(r, floor);
    drawEdge(p, r, shade(kMetal, 0.55), shade(kMetal, 1.6));
}

void drawLegend(QPainter& p, const QRect& r, int flags, const QString& text, const QFont& font,
                const QColor& colour = QColor(kEngraving)) {
    p.setFont(font);
    p.setPen(QColor(0x0C0C0E));
    p.drawText(r.translated(0, 1), flags, text);
    p.setPen(colour);
    p.drawText(r, flags, text);
}

// A group frame cut into the plate, its heading set into the top line.
void drawGroup(QPainter& p, const QRect& frame, const QString& heading) {
    p.setPen(shade(kMetal, 0.55));
    p.drawRect(frame);
    p.setPen(shade(kMetal, 1.5));
    p.drawRect(frame.translated(1, 1));
    const QFont font = panelFont(9);
    const QRect title(frame.left() + 6, frame.top() - 6, QFontMetrics(font).horizontalAdvance(heading) + 6, 12);
    p.fillRect(title, shade(kMetal, 0.97));
    drawLegend(p, title, Qt::AlignCenter, heading, font);
}

// A window background: brushed metal, each row with its own streak
// brightness, each pixel a little grain, darkening slightly towards the
// bottom; and the window's own outer edge, as these windows have no frame.
// The grain is drawn per device pixel: finer on the larger picture.
QImage metalPlate(int width, int height, int scale, unsigned seed) {
    QImage image = canvas(width, height, scale);
    std::minstd_rand random(seed);
    const auto jitter = [&random](int spread) { return static_cast<int>(random() % (2 * spread + 1)) - spread; };
    const std::array base{qRed(kMetal), qGreen(kMetal), qBlue(kMetal)};
    for (int y = 0; y < image.height(); ++y) {
        const double fall = 1.0 - 0.12 * y / image.height();
        const int streak = jitter(4);
        uchar* pixel = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            const int grain = streak + jitter(3);
            for (int channel : base) {
                *pixel++ = static_cast<uchar>(std::clamp(static_cast<int>(channel * fall) + grain, 0, 255));
            }
        }
    }
    QPainter p(&image);
    const QRect all = ownRect(image);
    drawEdge(p, all, shade(kMetal, 1.8), QColor(0x101012));
    drawEdge(p, all.adjusted(1, 1, -1, -1), shade(kMetal, 1.3), shade(kMetal, 0.6));
    return image;
}

// ---- Keys ------------------------------------------------------------------

enum class Light { Lit, Unlit, Failed, Unavailable };

struct StateSuffix {
    std::string_view suffix;
    Light light;
};

constexpr std::array kStateSuffixes{
    StateSuffix{"on", Light::Lit},
    StateSuffix{"off", Light::Unlit},
    StateSuffix{"err", Light::Failed},
    StateSuffix{"disable", Light::Unavailable},
};

enum class Ornament { None, PowerSymbol };

struct Family {
    std::string_view name;
    const char* caption;
    QRgb lamp;
    int sideMargin = 0;  // pixels of recess floor left and right of the key
    Ornament ornament = Ornament::None;
};

// ADJ and VIDEO overlap by five pixels on the main window, so their keys stand
// in from the picture's sides and the overlap shows only recess floor.
constexpr std::array kFamilies{
    Family{"power", "POWER", kGreen, 0, Ornament::PowerSymbol},
    Family{"cv", "CV", kAmber},
    Family{"sv", "SV", kAmber},
    Family{"yuv", "YUV", kAmber},
    Family{"pc", "PC", kAmber},
    Family{"vga", "VGA", kBlue},
    Family{"480p", "480P", kBlue},
    Family{"svga", "SVGA", kBlue},
    Family{"576p", "576P", kBlue},
    Family{"xga", "XGA", kBlue},
    Family{"sxga", "SXGA", kBlue},
    Family{"1080i", "1080I", kBlue},
    Family{"720p", "720P", kBlue},
    Family{"bypass", "PC BYPASS", kAmber},
    Family{"adj", "ADJ", kBlue, 4},
    Family{"video", "VIDEO", kBlue, 4},
    Family{"com1", "COM1", kGreen},
    Family{"com2", "COM2", kGreen},
    Family{"on", "ON", kGreen},
    Family{"off", "OFF", kAmber},
    Family{"43", "4:3", kBlue},
    Family{"169", "16:9", kBlue},
    Family{"std", "STD", kBlue},
    Family{"enable", "ENABLE", kGreen},
    Family{"disable", "DISABLE", kAmber},
};

struct KeyLook {
    QColor faceTop;
    QColor faceBottom;
    QColor bevelLight;
    QColor bevelDark;
    QColor text;
    QColor textShadow;
    bool glow;
};

KeyLook litLook(QRgb lamp) {
    return {shade(lamp, 1.0), shade(lamp, 0.55), shade(lamp, 1.45), shade(lamp, 0.35), QColor(0xFFFFFF),
            shade(lamp, 0.25), true};
}

KeyLook keyLook(Light light, QRgb lamp) {
    switch (light) {
    case Light::Lit:
        return litLook(lamp);
    case Light::Failed:
        return litLook(kRed);
    case Light::Unlit:
        return {QColor(0x5A5C61), QColor(0x35373B), QColor(0x7E8086), QColor(0x222326), QColor(0x9C9EA3),
                QColor(0x16171A), false};
    case Light::Unavailable:
        break;
    }
    // Greyed out: flat, hardly any relief, the legend barely there.
    return {QColor(0x46474A), QColor(0x46474A), QColor(0x4E4F52), QColor(0x3C3D40), QColor(0x6A6B6E),
            QColor(0x46474A), false};
}

void drawPowerSymbol(QPainter& p, const QPointF& centre, double radius, const QColor& colour) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour, 2.0, Qt::SolidLine, Qt::RoundCap));
    const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    p.drawArc(circle, 120 * 16, 300 * 16);  // open at the top, where the bar stands
    p.drawLine(centre, QPointF(centre.x(), centre.y() - radius - 1.5));
    p.restore();
}

// A key filling `face`: rim, cap and bevel. Lit caps glow from the middle
// like a backlit key.
void drawKeyFace(QPainter& p, const QRect& face, const KeyLook& look) {
    p.fillRect(face, QColor(kWellRim));
    const QRect cap = face.adjusted(1, 1, -1, -1);
    QLinearGradient gradient(cap.topLeft(), cap.bottomLeft());
    gradient.setColorAt(0.0, look.faceTop);
    gradient.setColorAt(1.0, look.faceBottom);
    p.fillRect(cap, gradient);
    if (look.glow) {
        QRadialGradient glow(QRectF(cap).center(), std::max(cap.width(), cap.height()) * 0.6);
        glow.setColorAt(0.0, QColor(255, 255, 255, 90));
        glow.setColorAt(1.0, QColor(255, 255, 255, 0));
        p.fillRect(cap, glow);
    }
    drawEdge(p, cap, look.bevelLight, look.bevelDark);
}

// Legends fill about half the key's height, never more than 11 pixels, and
// shrink where a long one would not fit.
void drawLabelledKey(QPainter& p, const QRect& face, const KeyLook& look, const QString& caption) {
    drawKeyFace(p, face, look);
    const QRect inner = face.adjusted(2, 2, -2, -2);
    p.setFont(fitted(panelFont(std::min(11, face.height() / 2 + 1)), caption, inner.width() - 2));
    p.setPen(look.textShadow);
    p.drawText(inner.translated(0, 1), Qt::AlignCenter, caption);
    p.setPen(look.text);
    p.drawText(inner, Qt::AlignCenter, caption);
}

QImage drawStateBitmap(const Family& family, Light light, int width, int height, int scale) {
    QImage image = canvas(width, height, scale);
    image.fill(QColor(kBay));
    QPainter p(&image);
    const QRect face = ownRect(image).adjusted(family.sideMargin, 0, -family.sideMargin, 0);
    const KeyLook look = keyLook(light, family.lamp);
    const QString caption = QString::fromLatin1(family.caption);
    if (family.ornament == Ornament::PowerSymbol) {
        drawKeyFace(p, face, look);
        drawPowerSymbol(p, QPointF(face.center().x() + 0.5, face.top() + 14.5), 6.5, look.text);
        p.setFont(panelFont(9));
        p.setPen(look.text);
        p.drawText(QRect(face.left(), face.bottom() - 14, face.width(), 12), Qt::AlignCenter, caption);
    } else {
        drawLabelledKey(p, face, look, caption);
    }
    return image;
}

// ---- Window backgrounds ----------------------------------------------------

struct Heading {
    const char* text;
    QRect place;
};

QImage drawMainBackground(int width, int height, int scale) {
    QImage image = metalPlate(width, height, scale, 470175);
    QPainter p(&image);

    // The version and message labels are drawn over a plain display strip.
    const QRect version = toPixels(layout::kMainVersionLabel);
    const QRect message = toPixels(layout::kMainMessageLabel);
    drawBay(p, version.united(message).adjusted(-3, -3, 3, 3), QColor(kLcd));

    drawGroup(p, unitedRect(layout::kMainButtons, {1, 2, 3, 4, 13}).adjusted(-5, -9, 5, 4), QStringLiteral("INPUT"));
    drawGroup(p, unitedRect(layout::kMainButtons, {5, 6, 7, 8, 9, 10, 11, 12}).adjusted(-5, -9, 5, 4),
              QStringLiteral("OUTPUT"));
    drawGroup(p, elementRect(layout::kMainButtons, 0).adjusted(-5, -9, 5, 5), QStringLiteral("POWER"));

    const QRect ports = unitedRect(layout::kMainButtons, {19, 20});
    const QRect windows = unitedRect(layout::kMainButtons, {15, 16});
    drawBay(p, ports.adjusted(-3, -3, 3, 3), QColor(kBay));
    drawBay(p, windows.adjusted(-3, -3, 3, 3), QColor(kBay));
    const QFont headingFont = panelFont(9);
    const std::array headings{
        Heading{"PORT", QRect(ports.left() - 40, ports.top(), 34, ports.height())},
        Heading{"SETUP", QRect(windows.left() - 50, windows.top(), 44, windows.height())},
    };
    for (const Heading& heading : headings) {
        drawLegend(p, heading.place, Qt::AlignRight | Qt::AlignVCenter, QString::fromLatin1(heading.text),
                   headingFont);
    }
    const QRect bypass = elementRect(layout::kMainButtons, 13);
    drawLegend(p, QRect(8, bypass.top(), bypass.left() - 20, bypass.height()), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("VIDEO\nSCALER"), panelFont(8, false), shade(kEngraving, 0.75));

    for (const layout::Element& element : layout::kMainButtons) {
        drawWell(p, toPixels(element.rect));
    }
    return image;
}

struct SettingName {
    const char* text;
    int firstButton;  // the setting's leftmost button; the name stands above it
};

constexpr std::array kAdjSettingNames{
    SettingName{"PC Loop Bypass", 16}, SettingName{"Digital NR", 10}, SettingName{"3D Enhance", 8},
    SettingName{"Front Panel Lock", 6}, SettingName{"Blank", 18},     SettingName{"Osd", 12},
    SettingName{"Display", 0},          SettingName{"Aspect", 14},    SettingName{"IR Sensor", 4},
    SettingName{"Freeze", 20},
};

QImage drawAdjBackground(int width, int height, int scale) {
    QImage image = metalPlate(width, height, scale, 230175);
    QPainter p(&image);

    // A groove between the two columns of settings.
    const int leftColumnEnd = unitedRect(layout::kAdjButtons, {7, 9, 11, 17, 19}).right();
    const int rightColumnStart = unitedRect(layout::kAdjButtons, {0, 4, 12, 14, 20}).left();
    const int groove = (leftColumnEnd + rightColumnStart) / 2;
    p.setPen(shade(kMetal, 0.55));
    p.drawLine(groove, 8, groove, height - 9);
    p.setPen(shade(kMetal, 1.5));
    p.drawLine(groove + 1, 8, groove + 1, height - 9);

    for (const layout::Element& element : layout::kAdjButtons) {
        drawWell(p, toPixels(element.rect));
    }
    const QFont font = panelFont(10);
    for (const SettingName& name : kAdjSettingNames) {
        const QRect button = elementRect(layout::kAdjButtons, name.firstButton);
        drawLegend(p, QRect(button.left(), button.top() - 15, width - button.left() - 4, 12),
                   Qt::AlignLeft | Qt::AlignBottom, QString::fromLatin1(name.text), font);
    }
    return image;
}

QImage drawVideoBackground(int width, int height, int scale) {
    QImage image = metalPlate(width, height, scale, 51090);
    QPainter p(&image);

    const QFont nameFont = panelFont(9);
    const QFont scaleFont = panelFont(8);
    for (std::size_t i = 0; i < layout::kVideoSliders.size(); ++i) {
        const QRect slider = toPixels(layout::kVideoSliders[i]);
        drawBay(p, slider.adjusted(-1, -1, 1, 1), QColor(kBay));
        // Marks stand over the middle of the thumb at that value: the arrows
        // and the thumb are about as wide as the bar is high.
        const int arrow = slider.height();
        const int travel = slider.width() - 3 * arrow;
        for (int value : {0, 31, 63}) {
            const int x = slider.left() + arrow + arrow / 2 + value * travel / 63;
            p.setPen(QColor(kEngraving));
            p.drawLine(x, slider.top() - 3, x, slider.top() - 2);
            drawLegend(p, QRect(x - 10, slider.top() - 13, 21, 10), Qt::AlignHCenter | Qt::AlignBottom,
                       QString::number(value), scaleFont);
        }
        drawLegend(p, QRect(slider.left(), slider.bottom() + 3, 80, 11), Qt::AlignLeft | Qt::AlignTop,
                   QString::fromLatin1(layout::kVideoSettingNames[i]), nameFont);
    }
    drawWell(p, toPixels(layout::kVideoReset));
    return image;
}

// ---- Fixed pictures --------------------------------------------------------

QImage drawLogo(int width, int height, int scale) {
    QImage image = canvas(width, height, scale);
    image.fill(QColor(kWellRim));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF plate = QRectF(ownRect(image)).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient chrome(plate.topLeft(), plate.bottomLeft());
    chrome.setColorAt(0.0, QColor(0xE4E6EA));
    chrome.setColorAt(0.5, QColor(0xA8ABB2));
    chrome.setColorAt(1.0, QColor(0x7A7D84));
    QPainterPath path;
    path.addRoundedRect(plate, 3, 3);
    p.fillPath(path, chrome);
    p.setPen(QColor(0x4A4C52));
    p.drawPath(path);
    const QString brand = QStringLiteral("PLENVO");
    QFont font = panelFont(14);
    font.setStretch(QFont::Unstretched);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.0);
    drawLegend(p, ownRect(image).adjusted(0, 0, 0, 1), Qt::AlignCenter, brand, fitted(font, brand, width - 8),
               QColor(0x1A1C22));
    return image;
}

// An unlit key over the whole picture, the pen left set for its glyph.
void drawGlyphKey(QPainter& p, const QImage& image) {
    drawKeyFace(p, ownRect(image), keyLook(Light::Unlit, 0));
    p.setPen(QPen(QColor(0xE0E2E6), 1.6, Qt::SolidLine, Qt::FlatCap));
    p.setRenderHint(QPainter::Antialiasing);
}

QImage drawMinimise(int width, int height, int scale) {
    QImage image = canvas(width, height, scale);
    QPainter p(&image);
    drawGlyphKey(p, image);
    p.drawLine(QPointF(4, height - 4.5), QPointF(width - 4, height - 4.5));
    return image;
}

QImage drawExit(int width, int height, int scale) {
    QImage image = canvas(width, height, scale);
    QPainter p(&image);
    drawGlyphKey(p, image);
    const QRectF cross(4.5, 3.0, width - 9.0, height - 6.0);
    p.drawLine(cross.topLeft(), cross.bottomRight());
    p.drawLine(cross.bottomLeft(), cross.topRight());
    return image;
}

QImage drawReset(int width, int height, int scale) {
    QImage image = canvas(width, height, scale);
    QPainter p(&image);
    const KeyLook look = keyLook(Light::Unlit, 0);
    drawKeyFace(p, ownRect(image), look);
    // A red stripe marks the key that throws the picture settings away.
    p.fillRect(QRect(4, 4, width - 8, 3), QColor(kRed));
    p.translate(width / 2.0, height / 2.0 + 3);
    p.rotate(-90);
    const QRect text(-height / 2, -width / 2, height, width);
    p.setFont(panelFont(11));
    p.setPen(look.textShadow);
    p.drawText(text.translated(0, 1), Qt::AlignCenter, QStringLiteral("AV RESET"));
    p.setPen(QColor(0xE8EAEE));
    p.drawText(text, Qt::AlignCenter, QStringLiteral("AV RESET"));
    return image;
}

// ---- Icon ------------------------------------------------------------------

// A small front panel: a blue screen with a P on a dark case. Drawn for each
// size in the proportions of the 16-pixel one; the bevel stays thin on the
// large ones.
constexpr QRgb kIconCase = 0x18191C;
constexpr QRgb kIconScreenTop = 0x5AB4FF;
constexpr QRgb kIconScreenBottom = 0x1450A0;
constexpr QRgb kIconBevelLight = 0x9AD2FF;
constexpr QRgb kIconBevelDark = 0x0C3060;
constexpr QRgb kIconLetter = 0xFFFFFF;
const QString kIconText = QStringLiteral("P");

struct IconGeometry {
    QRect screen;
    int bevel;
    QFont font;
    QRect text;  // the letter is centred in this
};

IconGeometry iconGeometry(int size) {
    const int margin = size / 16;
    const QRect screen(margin, margin, size - 2 * margin, size - 2 * margin);
    return {screen, std::max(1, size / 32), panelFont(13 * size / 16), screen.adjusted(0, 0, 0, margin)};
}

QImage drawIcon(int size) {
    QImage image(size, size, QImage::Format_RGB888);
    image.fill(QColor(kIconCase));
    const IconGeometry icon = iconGeometry(size);
    QPainter p(&image);
    QLinearGradient gradient(icon.screen.topLeft(), icon.screen.bottomRight());
    gradient.setColorAt(0.0, QColor(kIconScreenTop));
    gradient.setColorAt(1.0, QColor(kIconScreenBottom));
    p.fillRect(icon.screen, gradient);
    for (int i = 0; i < icon.bevel; ++i) {
        drawEdge(p, icon.screen.adjusted(i, i, -i, -i), QColor(kIconBevelLight), QColor(kIconBevelDark));
    }
    p.setFont(icon.font);
    p.setPen(QColor(kIconLetter));
    p.drawText(icon.text, Qt::AlignCenter, kIconText);
    return image;
}

// The skin's icon picture: the icon at the picture's device size.
QImage drawIconPicture(int width, int /*height*/, int scale) {
    return drawIcon(width * scale);
}

QString svgColour(QRgb rgb) {
    return QColor(rgb).name();
}

QString svgPoints(std::initializer_list<QPoint> points) {
    QStringList list;
    for (const QPoint& point : points) {
        list << QStringLiteral("%1,%2").arg(point.x()).arg(point.y());
    }
    return list.join(u' ');
}

QString svgPathData(const QPainterPath& path) {
    QStringList data;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element element = path.elementAt(i);
        // The two control points after a curve's start carry no command.
        const QString command = element.isMoveTo() ? QStringLiteral("M")
                                : element.isLineTo() ? QStringLiteral("L")
                                : element.isCurveTo() ? QStringLiteral("C")
                                                      : QString();
        data << command + QString::number(element.x, 'f', 2) + u' ' + QString::number(element.y, 'f', 2);
    }
    return data.join(u' ');
}

// The icon as a scalable picture, in the coordinates of the 256-pixel one.
// The letter is stored as its outline, so the picture needs no fonts.
QString iconSvg() {
    constexpr int size = 256;
    const IconGeometry icon = iconGeometry(size);
    const QRect s = icon.screen;
    const QPoint topLeft = s.topLeft();
    const QPoint topRight(s.right() + 1, s.top());
    const QPoint bottomLeft(s.left(), s.bottom() + 1);
    const QPoint bottomRight(s.right() + 1, s.bottom() + 1);
    const int b = icon.bevel;
    const QString light = svgPoints({topLeft, topRight, topRight + QPoint(-b, b), topLeft + QPoint(b, b),
                                     bottomLeft + QPoint(b, -b), bottomLeft});
    const QString dark = svgPoints({topRight, bottomRight, bottomLeft, bottomLeft + QPoint(b, -b),
                                    bottomRight + QPoint(-b, -b), topRight + QPoint(-b, b)});

    const QFontMetricsF metrics(icon.font);
    const QRectF text(icon.text);
    QPainterPath letter;
    letter.addText(QPointF(text.left() + (text.width() - metrics.horizontalAdvance(kIconText)) / 2,
                           text.top() + (text.height() - metrics.height()) / 2 + metrics.ascent()),
                   icon.font, kIconText);

    return QStringLiteral(
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" viewBox=\"0 0 %1 %1\">\n"
               "  <defs>\n"
               "    <linearGradient id=\"screen\" gradientUnits=\"userSpaceOnUse\" x1=\"%2\" y1=\"%3\" x2=\"%4\" "
               "y2=\"%5\">\n"
               "      <stop offset=\"0\" stop-color=\"%6\"/>\n"
               "      <stop offset=\"1\" stop-color=\"%7\"/>\n"
               "    </linearGradient>\n"
               "  </defs>\n"
               "  <rect width=\"%1\" height=\"%1\" fill=\"%8\"/>\n"
               "  <rect x=\"%2\" y=\"%3\" width=\"%9\" height=\"%10\" fill=\"url(#screen)\"/>\n"
               "  <polygon points=\"%11\" fill=\"%12\"/>\n"
               "  <polygon points=\"%13\" fill=\"%14\"/>\n"
               "  <path fill-rule=\"%15\" fill=\"%16\" d=\"%17\"/>\n"
               "</svg>\n")
        .arg(size)
        .arg(s.left())
        .arg(s.top())
        .arg(s.right())
        .arg(s.bottom())
        .arg(svgColour(kIconScreenTop), svgColour(kIconScreenBottom), svgColour(kIconCase))
        .arg(s.width())
        .arg(s.height())
        .arg(light, svgColour(kIconBevelLight), dark, svgColour(kIconBevelDark),
             letter.fillRule() == Qt::WindingFill ? QStringLiteral("nonzero") : QStringLiteral("evenodd"),
             svgColour(kIconLetter), svgPathData(letter));
}

// ---- Fixed pictures, by name -----------------------------------------------

struct FixedArt {
    const char* name;
    QImage (*draw)(int width, int height, int scale);
};

const std::array kFixedArt{
    FixedArt{skin::kMainBackground, drawMainBackground},
    FixedArt{skin::kAdjBackground, drawAdjBackground},
    FixedArt{skin::kVideoBackground, drawVideoBackground},
    FixedArt{skin::kLogo, drawLogo},
    FixedArt{skin::kMinimise, drawMinimise},
    FixedArt{skin::kExit, drawExit},
    FixedArt{skin::kReset, drawReset},
    FixedArt{skin::kIcon, drawIconPicture},
};

// ---- Output ----------------------------------------------------------------

bool save(const QImage& image, const QString& file, const char* format) {
    if (!image.save(file, format)) {
        std::fprintf(stderr, "plenvo-skin-gen: cannot write %s\n", qPrintable(file));
        return false;
    }
    return true;
}

bool saveBmp(const QImage& image, const QDir& dir, std::string_view name) {
    const QString file = QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())).toUpper();
    return save(image, dir.filePath(file + QStringLiteral(".bmp")), "BMP");
}

bool generateStateBitmaps(const QDir& dir, int scale) {
    for (const skin::BitmapSize& bitmap : skin::kStateBitmaps) {
        const std::string_view name = bitmap.name;
        const std::size_t split = name.rfind('_');
        const auto family = std::find_if(kFamilies.begin(), kFamilies.end(),
                                         [&](const Family& f) { return f.name == name.substr(0, split); });
        const auto state = std::find_if(kStateSuffixes.begin(), kStateSuffixes.end(),
                                        [&](const StateSuffix& s) { return s.suffix == name.substr(split + 1); });
        if (family == kFamilies.end() || state == kStateSuffixes.end()) {
            std::fprintf(stderr, "plenvo-skin-gen: no art for %s\n", bitmap.name);
            return false;
        }
        if (!saveBmp(drawStateBitmap(*family, state->light, bitmap.width, bitmap.height, scale), dir, name)) {
            return false;
        }
    }
    return true;
}

// The icon picture is a 256-colour one.
bool generateFixedPictures(const QDir& dir, int scale) {
    for (const skin::BitmapSize& bitmap : skin::kFixedPictures) {
        const auto art = std::find_if(kFixedArt.begin(), kFixedArt.end(),
                                      [&](const FixedArt& a) { return std::string_view(a.name) == bitmap.name; });
        if (art == kFixedArt.end()) {
            std::fprintf(stderr, "plenvo-skin-gen: no art for %s\n", bitmap.name);
            return false;
        }
        QImage image = art->draw(bitmap.width, bitmap.height, scale);
        if (bitmap.name == std::string_view(skin::kIcon)) {
            image = image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
            image.setColorCount(256);
        }
        if (!saveBmp(image, dir, bitmap.name)) {
            return false;
        }
    }
    return true;
}

// The desktop's icons: icons/plenvo-SIZE.png and icons/plenvo.svg.
bool generateIcons(const QDir& dir) {
    for (int size : skin::kIconSizes) {
        if (!save(drawIcon(size), dir.filePath(skin::iconFile(size)), "PNG")) {
            return false;
        }
    }
    QFile svg(dir.filePath(QStringLiteral("icons/plenvo.svg")));
    if (!svg.open(QIODevice::WriteOnly) || svg.write(iconSvg().toUtf8()) < 0) {
        std::fprintf(stderr, "plenvo-skin-gen: cannot write %s\n", qPrintable(svg.fileName()));
        return false;
    }
    return true;
}

// Each set of pictures: the folder it goes in, below the image folder, and
// its scale.
struct PictureSet {
    const char* folder;
    int scale;
};

constexpr std::array kPictureSets{PictureSet{".", 1}, PictureSet{"2x", 2}};

std::optional<QDir> madeFolder(const QDir& dir, const char* name) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    if (!dir.mkpath(path)) {
        std::fprintf(stderr, "plenvo-skin-gen: cannot create %s\n", qPrintable(path));
        return std::nullopt;
    }
    return QDir(path);
}

bool generate(const QDir& dir) {
    for (const PictureSet& set : kPictureSets) {
        const std::optional<QDir> folder = madeFolder(dir, set.folder);
        if (!folder || !generateStateBitmaps(*folder, set.scale) || !generateFixedPictures(*folder, set.scale)) {
            return false;
        }
    }
    return madeFolder(dir, "icons") && generateIcons(dir);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: plenvo-skin-gen IMAGE_DIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (QFontInfo(panelFont(9)).family() != QStringLiteral("DejaVu Sans")) {
        std::fprintf(stderr, "plenvo-skin-gen: the panel font DejaVu Sans is not installed\n");
        return 1;
    }
    return generate(dir) ? 0 : 1;
}
