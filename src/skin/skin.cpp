#include "skin/skin.h"

#include <QImageReader>
#include <QPixmapCache>
#include <QString>

namespace plenvo::skin {

namespace {

constexpr QStringView kResourcePrefix = u":/skin/";
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
QPixmap load(Name name) {
    QString path;
    path.reserve(kResourcePrefix.size() + name.size() + kResourceSuffix.size());
    path += kResourcePrefix;
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
    const QImage image = reader.read();
    if (!image.isNull()) {
        pixmap = QPixmap::fromImage(image);
        QPixmapCache::insert(path, pixmap);
    }
    return pixmap;
}

}  // namespace

QPixmap picture(QStringView name) {
    return load(name);
}

QPixmap picture(QLatin1StringView name) {
    return load(name);
}

}  // namespace plenvo::skin
