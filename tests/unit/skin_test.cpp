#include "skin/layout.h"
#include "skin/skin.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QtEndian>

#include <algorithm>
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

QString resourcePath(const char* name) {
    return QStringLiteral(":/skin/") + QString::fromLatin1(name).toUpper() + QStringLiteral(".bmp");
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
class PictureTest : public SkinTest, public ::testing::WithParamInterface<skin::BitmapSpec> {};

TEST_P(PictureTest, LoadsAtItsSizeInAnyCase) {
    const skin::BitmapSpec bitmap = GetParam();
    const QString lower = QString::fromLatin1(bitmap.name);
    const QImage expected = skin::picture(lower).toImage();
    ASSERT_FALSE(expected.isNull()) << bitmap.name;
    EXPECT_EQ(expected.size(), QSize(bitmap.width, bitmap.height));
    for (const QString& name : {lower.toUpper(), mixedCase(bitmap.name)}) {
        EXPECT_EQ(skin::picture(name).toImage(), expected) << qPrintable(name);
    }
}

TEST_P(PictureTest, IsAnUncompressedBmpOfItsDepth) {
    const skin::BitmapSpec bitmap = GetParam();
    const BmpHeader header = readBmpHeader(resourcePath(bitmap.name));
    const int depth = bitmap.name == std::string(skin::kIcon) ? 8 : 24;
    EXPECT_EQ(header.bitCount, depth) << bitmap.name;
    EXPECT_EQ(header.compression, 0U) << bitmap.name;
    EXPECT_EQ(header.width, bitmap.width) << bitmap.name;
    EXPECT_EQ(header.height, bitmap.height) << bitmap.name;
}

std::string specName(const ::testing::TestParamInfo<skin::BitmapSpec>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(State, PictureTest, ::testing::ValuesIn(skin::kStateBitmaps), specName);
INSTANTIATE_TEST_SUITE_P(Fixed, PictureTest, ::testing::ValuesIn(skin::kFixedPictures), specName);

TEST_F(SkinTest, StatesOfOneFamilyLookDifferent) {
    std::map<std::string, std::vector<QImage>> families;
    for (const skin::BitmapSpec& bitmap : skin::kStateBitmaps) {
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

TEST_F(SkinTest, UnknownNamesGiveNullPixmaps) {
    for (const char* name : {"", "com3_on", "com1", "com1_on.bmp", "com1_on ", "x/../com1_on", ":/skin/COM1_ON"}) {
        EXPECT_TRUE(skin::picture(QString::fromLatin1(name)).isNull()) << '"' << name << '"';
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
