#include "skin/layout.h"
#include "skin/packed_picture.h"
#include "skin/skin.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QResource>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace plenvo;

class SkinTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (qApp == nullptr) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            static int argc = 1;
            static char name[] = "skin_test";
            static char* argv[] = {name, nullptr};
            static QGuiApplication app(argc, argv);
        }
    }
};

// The fields of a BMP file header and info header that the panel relies on.
struct BmpHeader {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    quint32 compression = ~0U;
};

BmpHeader readBmpHeader(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = file.read(54);
    if (bytes.size() < 54 || !bytes.startsWith("BM")) {
        return {};
    }
    const char* info = bytes.constData() + 14;
    return {qFromLittleEndian<qint32>(info + 4), qFromLittleEndian<qint32>(info + 8),
            qFromLittleEndian<quint16>(info + 14), qFromLittleEndian<quint32>(info + 16)};
}

// The committed picture as drawn at `scale` times its size (1 or 2).
QString committedPath(const char* name, int scale = 1) {
    return QStringLiteral(PLENVO_SKIN_IMAGES "/") + (scale == 2 ? QStringLiteral("2x/") : QString()) +
           QString::fromLatin1(name).toUpper() + QStringLiteral(".bmp");
}

// "com1_on" -> "Com1_On"
QString mixedCase(const char* name) {
    QString mixed = QString::fromLatin1(name);
    for (qsizetype i = 0; i < mixed.size(); ++i) {
        if (i == 0 || mixed[i - 1] == u'_') {
            mixed[i] = mixed[i].toUpper();
        }
    }
    return mixed;
}

// Every picture, state bitmaps and fixed ones, must load at its size whatever
// the case of the name, and be stored in the colour depth the panel expects.
class PictureTest : public SkinTest, public ::testing::WithParamInterface<skin::BitmapSize> {};

TEST_P(PictureTest, LoadsAtItsSizeInAnyCase) {
    const skin::BitmapSize bitmap = GetParam();
    const QString lower = QString::fromLatin1(bitmap.name);
    const QImage expected = skin::picture(lower).toImage();
    ASSERT_FALSE(expected.isNull()) << bitmap.name;
    EXPECT_EQ(expected.size(), QSize(bitmap.width, bitmap.height));
    for (const QString& name : {lower.toUpper(), mixedCase(bitmap.name)}) {
        EXPECT_EQ(skin::picture(name).toImage(), expected) << qPrintable(name);
    }
}

TEST_P(PictureTest, IsAnUncompressedBmpOfItsDepthInBothSizes) {
    const skin::BitmapSize bitmap = GetParam();
    const int depth = bitmap.name == std::string(skin::kIcon) ? 8 : 24;
    for (int scale : {1, 2}) {
        const BmpHeader header = readBmpHeader(committedPath(bitmap.name, scale));
        EXPECT_EQ(header.bitCount, depth) << bitmap.name << " x" << scale;
        EXPECT_EQ(header.compression, 0U) << bitmap.name << " x" << scale;
        EXPECT_EQ(header.width, scale * bitmap.width) << bitmap.name << " x" << scale;
        EXPECT_EQ(header.height, scale * bitmap.height) << bitmap.name << " x" << scale;
    }
}

// The build's pixels are the committed picture's, in both sizes; the
// ordinary one, which every start shows, is drawn from the resource itself.
TEST_P(PictureTest, ShowsTheCommittedPixels) {
    const skin::BitmapSize bitmap = GetParam();
    for (int scale : {1, 2}) {
        const QImage committed = QImageReader(committedPath(bitmap.name, scale), "bmp").read();
        ASSERT_FALSE(committed.isNull()) << bitmap.name << " x" << scale;
        const QImage shown = skin::picture(QString::fromLatin1(bitmap.name), scale).toImage();
        EXPECT_EQ(shown, committed.convertToFormat(QImage::Format_RGB32)) << bitmap.name << " x" << scale;
    }
    const QResource stored(QStringLiteral(":/skin/") + QString::fromLatin1(bitmap.name).toUpper());
    const uchar* pixels = skin::picture(QString::fromLatin1(bitmap.name), 1.0).toImage().constBits();
    EXPECT_EQ(pixels, stored.data() + sizeof(skin::PackedHeader)) << bitmap.name;
}

// On a scaled screen a picture has twice the pixels and keeps its size in
// the window's own pixels, whatever the case of its name.
TEST_P(PictureTest, DoubleKeepsItsSizeInAnyCase) {
    const skin::BitmapSize bitmap = GetParam();
    const QString lower = QString::fromLatin1(bitmap.name);
    for (const QString& name : {lower, lower.toUpper(), mixedCase(bitmap.name)}) {
        const QPixmap pixmap = skin::picture(name, 2.0);
        EXPECT_EQ(pixmap.size(), QSize(2 * bitmap.width, 2 * bitmap.height)) << qPrintable(name);
        EXPECT_EQ(pixmap.devicePixelRatio(), 2.0) << qPrintable(name);
        EXPECT_EQ(pixmap.deviceIndependentSize(), QSizeF(bitmap.width, bitmap.height)) << qPrintable(name);
    }
}

// The share of a picture's aligned 2x2 blocks that are not of one colour:
// none in a picture blown up by doubling each pixel.
double mixedBlocks(const QImage& image) {
    int mixed = 0;
    for (int y = 0; y + 1 < image.height(); y += 2) {
        for (int x = 0; x + 1 < image.width(); x += 2) {
            const QRgb first = image.pixel(x, y);
            mixed += image.pixel(x + 1, y) != first || image.pixel(x, y + 1) != first ||
                     image.pixel(x + 1, y + 1) != first;
        }
    }
    return mixed / (image.width() / 2 * (image.height() / 2.0));
}

// The mean difference per channel of two pictures, both shrunk to `size`
// first, so that the finer drawing of text and edges does not count.
double coarseDifference(const QImage& a, const QImage& b, QSize size) {
    const auto shrunk = [size](const QImage& image) {
        return image.convertToFormat(QImage::Format_RGB32)
            .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    };
    const QImage x = shrunk(a);
    const QImage y = shrunk(b);
    double difference = 0;
    for (int row = 0; row < size.height(); ++row) {
        for (int column = 0; column < size.width(); ++column) {
            const QRgb p = x.pixel(column, row);
            const QRgb q = y.pixel(column, row);
            difference += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                          std::abs(qBlue(p) - qBlue(q));
        }
    }
    return difference / (3.0 * size.width() * size.height());
}

// The large picture is drawn anew, not blown up, and looks like the small
// one. (Two states of one key differ by 35 and more.)
TEST_P(PictureTest, DoubleIsDrawnAtItsSize) {
    const skin::BitmapSize bitmap = GetParam();
    const QString name = QString::fromLatin1(bitmap.name);
    const QImage large = skin::picture(name, 2.0).toImage();
    EXPECT_GT(mixedBlocks(large), 0.2) << bitmap.name;
    const QSize coarse(bitmap.width / 2, bitmap.height / 2);
    EXPECT_LT(coarseDifference(skin::picture(name, 1.0).toImage(), large, coarse), 25.0) << bitmap.name;
}

std::string pictureName(const ::testing::TestParamInfo<skin::BitmapSize>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(State, PictureTest, ::testing::ValuesIn(skin::kStateBitmaps), pictureName);
INSTANTIATE_TEST_SUITE_P(Fixed, PictureTest, ::testing::ValuesIn(skin::kFixedPictures), pictureName);

TEST_F(SkinTest, StatesOfOneFamilyLookDifferent) {
    std::map<std::string, std::vector<QImage>> families;
    for (const skin::BitmapSize& bitmap : skin::kStateBitmaps) {
        const std::string name = bitmap.name;
        families[name.substr(0, name.rfind('_'))].push_back(skin::picture(QString::fromLatin1(bitmap.name)).toImage());
    }
    EXPECT_EQ(families.size(), 25U);
    for (const auto& [family, states] : families) {
        for (std::size_t i = 0; i < states.size(); ++i) {
            for (std::size_t j = i + 1; j < states.size(); ++j) {
                EXPECT_NE(states[i], states[j]) << family << " states " << i << " and " << j;
            }
        }
    }
}

// Any scaled screen gets the large pictures, an unscaled one the small; a
// picture asked for in one size and then in the other comes in each.
TEST_F(SkinTest, ChoosesThePicturesByDevicePixelRatio) {
    struct Choice {
        qreal screenRatio;
        qreal pictureRatio;
    };
    const std::array choices{Choice{1.0, 1.0}, Choice{2.0, 2.0}, Choice{1.0, 1.0}, Choice{1.25, 2.0},
                             Choice{1.5, 2.0}, Choice{3.0, 2.0}, Choice{0.5, 1.0}};
    for (const Choice& choice : choices) {
        const QPixmap pixmap = skin::picture(QStringLiteral("power_on"), choice.screenRatio);
        EXPECT_EQ(pixmap.devicePixelRatio(), choice.pictureRatio) << "screen ratio " << choice.screenRatio;
        EXPECT_EQ(pixmap.width(), qRound(49 * choice.pictureRatio)) << "screen ratio " << choice.screenRatio;
    }
    // The offscreen screen is not scaled.
    EXPECT_EQ(skin::screenPixelRatio(), 1.0);
    EXPECT_EQ(skin::picture(QLatin1StringView("POWER_ON")).devicePixelRatio(), 1.0);
}

TEST_F(SkinTest, IconComesInEverySize) {
    const QIcon icon = skin::icon();
    QList<QSize> expected;
    for (int size : skin::kIconSizes) {
        expected.append(QSize(size, size));
    }
    EXPECT_EQ(icon.availableSizes(), expected);
    for (const QSize& size : expected) {
        const QImage image = icon.pixmap(size).toImage();
        EXPECT_EQ(image.size(), size);
        // The dark case around the blue screen, at every size.
        EXPECT_LT(qBlue(image.pixel(0, 0)), 0x40) << size.width();
        EXPECT_GT(qBlue(image.pixel(size.width() / 4, size.height() / 2)), 0x80) << size.width();
    }
}

TEST_F(SkinTest, UnknownNamesGiveNullPixmaps) {
    for (const char* name :
         {"", "com3_on", "com1", "com1_on.bmp", "com1_on ", "x/../com1_on", ":/skin/COM1_ON", "2x/com1_on"}) {
        for (qreal ratio : {1.0, 2.0}) {
            EXPECT_TRUE(skin::picture(QString::fromLatin1(name), ratio).isNull()) << '"' << name << '"';
        }
    }
}

template <std::size_t N>
std::vector<int> indexesOf(const std::array<layout::Element, N>& elements) {
    std::vector<int> indexes;
    for (const layout::Element& element : elements) {
        indexes.push_back(element.index);
    }
    return indexes;
}

TEST_F(SkinTest, ElementArraysHaveTheirGaps) {
    EXPECT_EQ(indexesOf(layout::kMainButtons),
              (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16, 19, 20, 21, 22}));
    EXPECT_EQ(indexesOf(layout::kAdjButtons),
              (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 16, 17, 18, 19, 20, 21}));
}

TEST_F(SkinTest, MainWindowSitsOnWholePixels) {
    std::vector<layout::Rect> rects{layout::kMainClient,        layout::kMainLogo,           layout::kMainVersionLabel,
                                    layout::kMainMessageLabel,  layout::kMainFormImage,      layout::kMainDiagnosticText,
                                    layout::kMainClearButton};
    for (const layout::Element& element : layout::kMainButtons) {
        rects.push_back(element.rect);
    }
    for (const layout::Rect& r : rects) {
        for (int twips : {r.left, r.top, r.width, r.height}) {
            EXPECT_EQ(twips % layout::kDesignTwipsPerPixel, 0)
                << r.left << ',' << r.top << ' ' << r.width << 'x' << r.height;
        }
    }
}

QSize designPixels(const layout::Rect& r) {
    return {r.width / layout::kDesignTwipsPerPixel, r.height / layout::kDesignTwipsPerPixel};
}

const layout::Rect& mainElementRect(int index) {
    const auto it = std::find_if(layout::kMainButtons.begin(), layout::kMainButtons.end(),
                                 [index](const layout::Element& e) { return e.index == index; });
    return it->rect;
}

// Pictures are never stretched: each control's design size must be the size
// of the pictures it shows, or an element would change size with its state.
TEST_F(SkinTest, ControlsAreTheSizeOfTheirPictures) {
    std::vector<std::pair<const char*, layout::Rect>> shown{
        {skin::kLogo, layout::kMainLogo},         {skin::kMainBackground, layout::kMainFormImage},
        {skin::kReset, layout::kVideoReset},      {skin::kMinimise, mainElementRect(21)},
        {skin::kExit, mainElementRect(22)},
    };
    const auto addStartPictures = [&shown](const auto& elements) {
        for (const layout::Element& element : elements) {
            if (element.start_picture != nullptr) {
                shown.emplace_back(element.start_picture, element.rect);
            }
        }
    };
    addStartPictures(layout::kMainButtons);
    addStartPictures(layout::kAdjButtons);
    for (const auto& [name, rect] : shown) {
        EXPECT_EQ(skin::picture(QString::fromLatin1(name)).size(), designPixels(rect)) << name;
    }
}

}  // namespace
