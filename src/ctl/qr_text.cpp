#include "ctl/qr_text.h"

#include <qrencode.h>

#include <memory>

namespace plenvo::ctl {

namespace {

constexpr int kQuiet = 2;

}  // namespace

std::string qr_text(const std::string& text)
{
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString(text.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1), &QRcode_free);
    if (!code)
        return {};
    const int width = code->width;
    const auto light = [&](int x, int y) {
        return x < 0 || y < 0 || x >= width || y >= width || !(code->data[y * width + x] & 1);
    };
    std::string out;
    for (int y = -kQuiet; y < width + kQuiet; y += 2) {
        for (int x = -kQuiet; x < width + kQuiet; ++x) {
            const bool top = light(x, y);
            const bool bottom = light(x, y + 1);
            out += top && bottom ? "\u2588" : top ? "\u2580" : bottom ? "\u2584" : " ";
        }
        out += '\n';
    }
    return out;
}

}  // namespace plenvo::ctl
