#include "ctl/qr_text.h"

#include "control/qr_code.h"

namespace plenvo::ctl {

namespace {

constexpr int kQuiet = 2;

}  // namespace

std::string qr_text(const std::string& text)
{
    const std::vector<std::vector<bool>> code = control::qr_code(text);
    if (code.empty())
        return {};
    const int width = int(code.size());
    const auto light = [&](int x, int y) {
        return x < 0 || y < 0 || x >= width || y >= width || !code[size_t(y)][size_t(x)];
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
