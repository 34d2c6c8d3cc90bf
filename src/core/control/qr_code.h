#pragma once

#include <string>
#include <vector>

namespace plenvo::control {

// The text as the square of a QR code for a phone's camera, row by row,
// true for a dark module, without the quiet zone around it. Empty when the
// text does not fit in one.
std::vector<std::vector<bool>> qr_code(const std::string& text);

}  // namespace plenvo::control
