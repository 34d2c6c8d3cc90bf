#pragma once

// Random but valid setting reports, for soaking the panel's receive path
// with as many frames as the line can carry.

#include <array>
#include <chrono>
#include <cstdint>
#include <random>

#include "wire/protocol.h"

namespace plenvo::sim {

// At 9600 baud 8N1 a byte takes about a millisecond on the line, so 32
// three-byte frames every 100 ms keep the line full.
inline constexpr int kFloodFramesPerBatch = 32;
inline constexpr std::chrono::milliseconds kFloodBatchInterval{100};

// The values a real unit may report for one setting.
struct ReportRange {
    protocol::Command setting;
    uint8_t lowest;
    uint8_t highest;
};

// Power stays on: a flood that switched the unit off would leave the panel
// ignoring most of the rest.
inline constexpr std::array kFloodRanges{
    ReportRange{protocol::kPW, 1, 1},  ReportRange{protocol::kIN, 0, 3},
    ReportRange{protocol::kOU, 0, 7},  ReportRange{protocol::kBY, 0, 1},
    ReportRange{protocol::kDI, 0, 1},  ReportRange{protocol::kAS, 0, 2},
    ReportRange{protocol::kIR, 0, 1},  ReportRange{protocol::kFP, 0, 1},
    ReportRange{protocol::kTD, 0, 1},  ReportRange{protocol::kNR, 0, 1},
    ReportRange{protocol::kOS, 0, 1},  ReportRange{protocol::kBL, 0, 1},
    ReportRange{protocol::kFR, 0, 1},  ReportRange{protocol::kBR, 0, 63},
    ReportRange{protocol::kCO, 0, 63}, ReportRange{protocol::kSA, 0, 63},
    ReportRange{protocol::kSH, 0, 63}, ReportRange{protocol::kTI, 0, 63},
    ReportRange{protocol::kVO, 0, 63},
};

class ReportGenerator {
public:
    explicit ReportGenerator(std::mt19937::result_type seed) : random_(seed) {}

    // A report of a setting picked at random, with a value it may take.
    protocol::Frame next();

private:
    std::mt19937 random_;
};

// How many batches a flood of this many seconds sends; at least one.
int flood_batches(double seconds);

}  // namespace plenvo::sim
