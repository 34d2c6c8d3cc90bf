#pragma once

// Presets: the unit's settings in a small text file a person can read and
// edit, one "name value" per line with the words of the status:
//
//   # the big room, evenings
//   power on
//   input yuv
//   output 720p
//   bright 40
//
// Blank lines and everything from a # on are ignored, names and words may
// be written in any case, lines may end in CR LF. A preset need not name
// every setting: loading it leaves the others as they are.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/setting_table.h"
#include "wire/device_state.h"

namespace plenvo::control {

struct Preset {
    // By the setting's place in kSettings; empty where the preset leaves
    // the setting alone.
    std::array<std::optional<int16_t>, kSettings.size()> values{};
    bool operator==(const Preset&) const = default;
};

struct PresetRead {
    Preset preset;
    // "line 3: unknown setting ..."; empty when the whole text is a preset.
    // A text with errors is not to be applied at all.
    std::vector<std::string> errors;
};

PresetRead parse_preset(std::string_view text);

// Every setting as it stands. A value the unit reported that cannot be
// sent back (an output code without a word, a picture setting above 63) is
// kept as a comment, so that the file still loads.
std::string format_preset(const DeviceState& s);

// What loading a preset sends to a unit in state `current`: only the
// settings that differ, in an order the unit accepts.
//
// - Power on first: the unit ignores its other settings while it is off.
// - The bypass permission, when it is granted, right after: the unit takes
//   the bypass input only while the bypass is allowed. Withdrawn, it keeps
//   its place after the input, which by then has left the bypass.
// - The rest in the unit's report order.
// - Power off last, once the other settings are in.
//
// When the unit is off and the preset keeps it off, nothing but the power
// could take effect: the other differing settings are held back.
struct LoadPlan {
    std::vector<Assignment> steps;  // to send in this order (frame_of)
    std::vector<const Setting*> held_back;
    // Not empty: the preset cannot be applied to this state; steps is empty.
    std::string error;
};

LoadPlan plan_load(const Preset& preset, const DeviceState& current);

}  // namespace plenvo::control
