#include "control/qr_code.h"

#include <QLibrary>

#include <qrencode.h>

#include <memory>

namespace plenvo::control {

namespace {

// libqrencode is loaded when a code is first drawn, not by every start of
// the programs that may draw one (a millisecond of each).
struct Encoder {
    decltype(&QRcode_encodeString) encode = nullptr;
    decltype(&QRcode_free) free = nullptr;
};

const Encoder& encoder()
{
    static const Encoder loaded = [] {
        QLibrary library(QStringLiteral("qrencode"), 4);
        const Encoder found{reinterpret_cast<decltype(&QRcode_encodeString)>(library.resolve("QRcode_encodeString")),
                            reinterpret_cast<decltype(&QRcode_free)>(library.resolve("QRcode_free"))};
        if (found.encode && found.free)
            return found;
        qWarning("plenvo: no QR code: %s", qPrintable(library.errorString()));
        return Encoder{};
    }();
    return loaded;
}

}  // namespace

std::vector<std::vector<bool>> qr_code(const std::string& text)
{
    const Encoder& qr = encoder();
    if (!qr.encode)
        return {};
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        qr.encode(text.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1), qr.free);
    if (!code)
        return {};
    std::vector<std::vector<bool>> rows(size_t(code->width), std::vector<bool>(size_t(code->width)));
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x)
            rows[size_t(y)][size_t(x)] = code->data[y * code->width + x] & 1;
    return rows;
}

}  // namespace plenvo::control
