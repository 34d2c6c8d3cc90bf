// Turns the committed skin pictures (BMP files) into what the panel draws
// from (skin/packed_picture.h). Run by the
// build: plenvo-skin-pack SOURCE_DIR OUTPUT_DIR NAME..., where each NAME is a
// picture's path below SOURCE_DIR ("2x/COM1_ON.bmp") and its output goes to
// the same path below OUTPUT_DIR without the suffix ("2x/COM1_ON").

#include "skin/packed_picture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <cstdio>
#include <cstring>

namespace {

bool fail(const QString& text)
{
    std::fprintf(stderr, "plenvo-skin-pack: %s\n", qPrintable(text));
    return false;
}

bool pack(const QString& source, const QString& output)
{
    QImageReader reader(source, "bmp");
    reader.setAutoDetectImageFormat(false);
    const QImage image = reader.read();
    if (image.isNull())
        return fail(source + ": " + reader.errorString());
    // The panel draws the pictures opaque; a picture with transparency would
    // change its look here.
    if (image.hasAlphaChannel())
        return fail(source + ": has transparency, which the skin does not draw");
    const QImage pixels = image.convertToFormat(QImage::Format_RGB32);
    const plenvo::skin::PackedHeader header{quint32(pixels.width()), quint32(pixels.height())};
    QByteArray bytes(sizeof header, Qt::Uninitialized);
    std::memcpy(bytes.data(), &header, sizeof header);
    bytes.append(reinterpret_cast<const char*>(pixels.constBits()), pixels.sizeInBytes());

    if (!QDir().mkpath(QFileInfo(output).path()))
        return fail(output + ": cannot make its folder");
    QFile file(output);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        return fail(output + ": " + file.errorString());
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fputs("usage: plenvo-skin-pack SOURCE_DIR OUTPUT_DIR NAME...\n", stderr);
        return 2;
    }
    const QDir source(QString::fromLocal8Bit(argv[1]));
    const QDir output(QString::fromLocal8Bit(argv[2]));
    for (int i = 3; i < argc; ++i) {
        const QString name = QString::fromLocal8Bit(argv[i]);
        QString packed = name;
        packed.chop(QFileInfo(name).suffix().size() + 1);
        if (!pack(source.filePath(name), output.filePath(packed)))
            return 1;
    }
    return 0;
}
