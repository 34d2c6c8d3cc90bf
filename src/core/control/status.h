#pragma once

// The unit's settings as text: lines for people, one JSON object for
// programs, and one line per report for watching the unit.

#include <optional>
#include <span>
#include <string>

#include "control/setting_table.h"
#include "wire/device_state.h"
#include "wire/protocol.h"

namespace plenvo::control {

// The setting whose value a report from the unit carries, or nullptr (O K,
// the reset report, frames the unit does not define).
const Setting* reported_setting(const protocol::Frame& frame);

// "bright 31": the name, a blank, the word.
std::string setting_text(const Setting& setting, int value);

// "output 720p, bright 40": settings asked for, for messages.
std::string assignments_text(std::span<const Assignment> assignments);

// One line per setting, in the unit's report order, each ending in LF.
std::string status_text(const DeviceState& s);

// The same pairs on one line: "power on input yuv ... volume 31", which
// `set` takes back as it is.
std::string status_pairs(const DeviceState& s);

// {"power": "on", "input": "yuv", ..., "volume": 31}: words as strings,
// the six picture settings as numbers, and a value without a word as its
// number. Keys in report order; no line end.
std::string status_json(const DeviceState& s);

// The line a report from the unit makes: "bright 40", or {"bright": 40}
// as JSON. Frames that carry no setting's value (O K, the reset report,
// frames the unit does not define) make none: they change nothing.
std::optional<std::string> watch_line(const protocol::Frame& frame, bool json);

}  // namespace plenvo::control
