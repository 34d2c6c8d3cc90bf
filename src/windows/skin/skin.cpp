#include "skin/skin.h"

#include <QGuiApplication>
#include <QPixmapCache>
#include <QResource>
#include <QString>

#include <cstring>

#include "skin/packed_picture.h"

namespace plenvo::skin {

namespace {

constexpr QStringView kResourcePrefix = u":/skin/";
constexpr QStringView kDoubleFolder = u"2x/";

// Picture names are plain identifiers. A path in a name ("x/../com1_on") would
// otherwise be resolved by the resource system and reach a picture, or another
// resource, under a name that is none of ours.
bool isNameChar(QChar c) {
    return c.unicode() < 0x80 && (c.isLetterOrNumber() || c == u'_');
}

// A picture as the build stores it (packed_picture.h). One stored unpacked
// and aligned is drawn from where it lies, which costs no memory of its own;
// any other is copied out.
QImage storedPicture(const QString& path) {
    const QResource resource(path);
    const QByteArray bytes = resource.uncompressedData();
    PackedHeader header{};
    if (bytes.size() < qsizetype(sizeof header)) {
        return {};
    }
    std::memcpy(&header, bytes.constData(), sizeof header);
    const qsizetype rowBytes = qsizetype(header.width) * kPackedPixelBytes;
    if (header.width == 0 || header.width > 0xffff || header.height > 0xffff ||
        bytes.size() != qsizetype(sizeof header) + rowBytes * header.height) {
        return {};
    }
    const auto* pixels = reinterpret_cast<const uchar*>(bytes.constData() + sizeof header);
    const int width = int(header.width);
    const int height = int(header.height);
    const bool inPlace = resource.compressionAlgorithm() == QResource::NoCompression &&
                         reinterpret_cast<quintptr>(pixels) % alignof(quint32) == 0;
    if (inPlace) {
        return QImage(pixels, width, height, rowBytes, QImage::Format_RGB32);
    }
    QImage copy(width, height, QImage::Format_RGB32);
    if (!copy.isNull()) {
        std::memcpy(copy.bits(), pixels, size_t(copy.sizeInBytes()));
    }
    return copy;
}

// The resource path doubles as the cache key: one allocation per call,
// and a cached picture costs no file lookup.
template <typename Name>
QPixmap load(Name name, qreal devicePixelRatio) {
    // A screen scaled by less than 2 gets the large picture too: shrunk a
    // little, it stays sharper than the small one blown up.
    const int scale = devicePixelRatio > 1 ? 2 : 1;
    QString path;
    path.reserve(kResourcePrefix.size() + kDoubleFolder.size() + name.size());
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

    QPixmap pixmap;
    if (QPixmapCache::find(path, &pixmap)) {
        return pixmap;
    }
    const QImage image = storedPicture(path);
    if (!image.isNull()) {
        pixmap = QPixmap::fromImage(image);
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
