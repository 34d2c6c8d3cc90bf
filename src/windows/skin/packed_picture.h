#pragma once

// How the build stores a skin picture (tools/skin_pack writes it, the skin
// reads it): this header, then `height` rows of `width` pixels as
// QImage::Format_RGB32 keeps them, four bytes each, in the byte order of the
// machine that built it. Every part is a multiple of four bytes, so that a
// picture stored unpacked lies aligned for drawing straight from it.

#include <QtGlobal>

namespace plenvo::skin {

struct PackedHeader {
    quint32 width;
    quint32 height;
};

inline constexpr int kPackedPixelBytes = 4;

}  // namespace plenvo::skin
