#pragma once

#include <QString>

namespace plenvo::trace {

// With --trace every event of interest becomes one line on stderr:
// "<ms since start> <what> <detail>".
void enable();
bool enabled();
void line(const QString& what, const QString& detail);

// A frame's letters as characters, "?" for a byte that is not printable.
QString letters(unsigned char first, unsigned char second);

}  // namespace plenvo::trace
