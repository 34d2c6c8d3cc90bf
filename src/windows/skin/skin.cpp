#include "skin/skin.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QPixmapCache>
#include <QString>

#include <utility>

namespace plenvo::skin {

namespace {

constexpr QStringView kResourcePrefix = u":/skin/";
constexpr QStringView kDoubleFolder = u"2x/";
constexpr QStringView kResourceSuffix = u".bmp";

// Picture names are plain identifiers. A path in a name ("x/../com1_on") would
// otherwise be resolved by the resource system and reach a picture, or another
// resource, under a name that is none of ours.
bool isNameChar(QChar c) {
    return c.unicode() < 0x80 && (c.isLetterOrNumber() || c == u'_');
}

// The resource path doubles as the cache key: one allocation per call,
// and a cached picture costs no file lookup.
template <typename Name>
QPixmap load(Name name, qreal devicePixelRatio) {
    // A screen scaled by less than 2 gets the large picture too: shrunk a
    // little, it stays sharper than the small one blown up.
    const int scale = devicePixelRatio > 1 ? 2 : 1;
    QString path;
    path.reserve(kResourcePrefix.size() + kDoubleFolder.size() + name.size() + kResourceSuffix.size());
    path += kResourcePrefix;
    if (scale == 2) {
        path += kDoubleFolder;
    }
    for (const auto c : name) {
        const QChar ch(c);
        if (!isNameChar(ch)) {
            return {};
        }
        path += ch.toUpper();
    }
    path += kResourceSuffix;

    QPixmap pixmap;
    if (QPixmapCache::find(path, &pixmap)) {
        return pixmap;
    }
    // Every skin picture is a BMP: naming the format spares loading and
    // asking every image plugin at start-up.
    QImageReader reader(path, "bmp");
    reader.setAutoDetectImageFormat(false);
    QImage image = reader.read();
    if (!image.isNull()) {
        pixmap = QPixmap::fromImage(std::move(image));
        pixmap.setDevicePixelRatio(scale);
        QPixmapCache::insert(path, pixmap);
    }
    return pixmap;
}

}  // namespace

qreal screenPixelRatio() {
    return qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0;
}

QPixmap picture(QStringView name, qreal devicePixelRatio) {
    return load(name, devicePixelRatio);
}

QPixmap picture(QLatin1StringView name, qreal devicePixelRatio) {
    return load(name, devicePixelRatio);
}

QIcon icon() {
    QIcon icon;
    for (int size : kIconSizes) {
        icon.addFile(kResourcePrefix.toString() + iconFile(size), QSize(size, size));
    }
    return icon;
}

}  // namespace plenvo::skin
