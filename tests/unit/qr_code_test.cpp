#include "control/qr_code.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace plenvo::control {
namespace {

// A phone link comes out as a square code with the three finder squares a
// camera looks for; a text too long for any code gives none.
TEST(QrCode, ALinkBecomesASquareWithItsFinderSquares)
{
    const auto code = qr_code("http://192.0.2.2:8080/?token=0123456789abcdef0123456789abcdef");
    ASSERT_GE(code.size(), 21U);
    EXPECT_EQ((code.size() - 21) % 4, 0U) << code.size();
    const size_t far = code.size() - 7;
    for (const auto& [top, left] : {std::pair<size_t, size_t>{0, 0}, {0, far}, {far, 0}}) {
        for (size_t i = 0; i < 7; ++i) {
            EXPECT_TRUE(code[top][left + i] && code[top + 6][left + i] && code[top + i][left] && code[top + i][left + 6])
                << "the finder square's edge at " << top << ',' << left;
        }
        EXPECT_FALSE(code[top + 1][left + 1]) << "the finder square's light ring at " << top << ',' << left;
        EXPECT_TRUE(code[top + 3][left + 3]) << "the finder square's centre at " << top << ',' << left;
    }
    for (const auto& row : code)
        EXPECT_EQ(row.size(), code.size());

    EXPECT_TRUE(qr_code(std::string(4000, 'x')).empty());
}

}  // namespace
}  // namespace plenvo::control
