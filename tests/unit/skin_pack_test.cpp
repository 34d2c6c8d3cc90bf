#include "skin/packed_picture.h"

#include <gtest/gtest.h>

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <cstring>

namespace plenvo::skin {
namespace {

struct Packing {
    int exit_code = -1;
    QString said;
};

Packing pack(const QTemporaryDir& folder, const QStringList& names)
{
    QProcess tool;
    tool.start(QStringLiteral(PLENVO_SKIN_PACK), QStringList{folder.path(), folder.filePath("out")} + names);
    tool.waitForFinished();
    return {tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1,
            QString::fromLocal8Bit(tool.readAllStandardError())};
}

// A 1 x 1 BMP of 32 bits with an alpha mask, its one pixel transparent, as
// Qt writes none.
QByteArray transparent_bmp()
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint32 header_size = 108;
    out.writeRawData("BM", 2);
    out << quint32(14 + header_size + 4) << quint32(0) << quint32(14 + header_size);
    out << header_size << qint32(1) << qint32(1) << quint16(1) << quint16(32) << quint32(3) << quint32(4)
        << qint32(2835) << qint32(2835) << quint32(0) << quint32(0);
    out << quint32(0x00ff0000) << quint32(0x0000ff00) << quint32(0x000000ff) << quint32(0xff000000)
        << quint32(0x73524742);
    for (int i = 0; i < 12; ++i)
        out << quint32(0);  // the colour space's end points and gammas
    out << quint32(0);      // the pixel
    return bytes;
}

// The build's picture holds the header and the pixels the windows draw;
// what it cannot store as the windows would show it stops the build, named.
TEST(SkinPack, StoresThePixelsAndRefusesWhatItCannotShow)
{
    QTemporaryDir folder;
    ASSERT_TRUE(QDir(folder.path()).mkdir("2x"));
    QImage picture(3, 2, QImage::Format_RGB888);
    picture.fill(QColor(10, 20, 30));
    picture.setPixelColor(2, 1, QColor(200, 100, 50));
    ASSERT_TRUE(picture.save(folder.filePath("2x/KEY_ON.bmp"), "BMP"));

    const Packing packed = pack(folder, {"2x/KEY_ON.bmp"});
    ASSERT_EQ(packed.exit_code, 0) << packed.said.toStdString();
    QFile out(folder.filePath("out/2x/KEY_ON"));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    const QByteArray bytes = out.readAll();
    PackedHeader header{};
    ASSERT_EQ(bytes.size(), qsizetype(sizeof header + 3 * 2 * kPackedPixelBytes));
    std::memcpy(&header, bytes.constData(), sizeof header);
    EXPECT_EQ(header.width, 3U);
    EXPECT_EQ(header.height, 2U);
    const QImage stored(reinterpret_cast<const uchar*>(bytes.constData() + sizeof header), 3, 2,
                        QImage::Format_RGB32);
    EXPECT_EQ(stored, picture.convertToFormat(QImage::Format_RGB32));

    QFile clear(folder.filePath("CLEAR.bmp"));
    ASSERT_TRUE(clear.open(QIODevice::WriteOnly) && clear.write(transparent_bmp()) > 0);
    clear.close();
    for (const auto& [name, reason] : {std::pair{"CLEAR.bmp", "transparency"}, std::pair{"GONE.bmp", "GONE.bmp: "}}) {
        const Packing refused = pack(folder, {name});
        EXPECT_EQ(refused.exit_code, 1) << name;
        EXPECT_TRUE(refused.said.contains(QLatin1String(reason))) << refused.said.toStdString();
    }
}

}  // namespace
}  // namespace plenvo::skin
