#pragma once

#include <string>

namespace plenvo::ctl {

// The text as a QR code drawn with block characters for a terminal, two
// rows of the code to a line, light modules as blocks so that it reads on
// a dark background as on a light one, with its quiet zone. Empty when the
// text does not fit in a code.
std::string qr_text(const std::string& text);

}  // namespace plenvo::ctl
