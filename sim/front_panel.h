#pragma once

// The unit's front panel as the operator of the simulator works it: one
// command a line on standard input.
//
//   send XY N      the unit reports letters XY with value N on its own
//   byte N         one raw byte on the line, to knock the panel off its frames
//   mute on|off    stop or resume answering the panel
//   state          print the unit's settings
//   flood SECONDS  a stream of random reports at the full line rate
//   quit

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "wire/device_state.h"
#include "wire/protocol.h"

namespace plenvo::sim {

struct SendReport {
    protocol::Frame frame;
};
struct SendByte {
    uint8_t value;
};
struct SetMute {
    bool on;
};
struct ShowState {};
struct StartFlood {
    double seconds;
};
struct Quit {};
// A blank line, which the operator may type to see the prompt move.
struct EmptyLine {};

using PanelCommand =
    std::variant<SendReport, SendByte, SetMute, ShowState, StartFlood, Quit, EmptyLine>;

// Longest flood taken, a day: keeps the count of frames far from overflow.
inline constexpr double kLongestFloodSeconds = 24 * 60 * 60;

// The command on a line, or nothing when the line is not one.
std::optional<PanelCommand> parse_panel_line(std::string_view line);
// Why `line` is no command, when more can be said than that it is not.
std::string panel_line_mistake(std::string_view line);

// The letters `send` takes: each setting the unit reports, then OK.
std::string known_letters();

// "state PW 1 IN 0 ...": every setting, in the order the unit reports them.
std::string state_line(const DeviceState& state);

}  // namespace plenvo::sim
