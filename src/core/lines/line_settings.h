#pragma once

#include <cstdint>

namespace plenvo {

enum class Parity : uint8_t { None, Odd, Even, Mark, Space };

// How the serial port at the unit's end of a line is set up.
struct LineSettings {
    uint32_t baud = 9600;
    Parity parity = Parity::None;
    uint8_t data_bits = 8;
    uint8_t stop_bits = 1;
};

}  // namespace plenvo
