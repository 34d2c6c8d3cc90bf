#include "control/qr_code.h"

#include <qrencode.h>

#include <memory>

namespace plenvo::control {

std::vector<std::vector<bool>> qr_code(const std::string& text)
{
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString(text.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1), &QRcode_free);
    if (!code)
        return {};
    std::vector<std::vector<bool>> rows(size_t(code->width), std::vector<bool>(size_t(code->width)));
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x)
            rows[size_t(y)][size_t(x)] = code->data[y * code->width + x] & 1;
    return rows;
}

}  // namespace plenvo::control
