#pragma once

// The simulated unit: what a Plenvo scaler does with the frames the panel
// sends it. Plain C++, so the unit tests drive it without a serial line.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "wire/device_state.h"
#include "wire/protocol.h"

namespace plenvo::sim {

// The frame a unit sends to report a setting's value.
protocol::Frame report_frame(const protocol::Command& setting, int16_t value);

class Unit {
public:
    // Switched on, every other setting at the values the panel assumes
    // before it has heard from the unit.
    Unit();

    // Carries out one command from the panel and returns the frames the unit
    // sends back, in order. Frames the unit does not know get no answer.
    std::vector<protocol::Frame> answer(const protocol::Frame& command);

    // A report the unit sends on its own (its front panel or remote control
    // changed something). Stored the way the panel reads it, so that the
    // state here stays what the panel was told.
    void report(const protocol::Frame& frame);

    const DeviceState& state() const { return state_; }

private:
    std::vector<protocol::Frame> report_all() const;

    DeviceState state_;
};

// Groups the bytes arriving from the panel into command frames. The unit has
// no start marker to sync on, so it relies on the pause between commands: a
// partial frame left waiting too long is given up when the next byte comes,
// and one stray byte on the line costs one frame instead of the alignment of
// every frame after it.
class CommandAssembler {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kStaleAfter{500};

    // The completed frame, if this byte completes one.
    std::optional<protocol::Frame> push(uint8_t byte, Clock::time_point arrived);

private:
    std::array<uint8_t, protocol::kFrameSize> bytes_{};
    size_t count_ = 0;
    Clock::time_point last_arrival_{};
};

}  // namespace plenvo::sim
