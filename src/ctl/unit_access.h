#pragma once

#include <span>
#include <string>

#include "control/setting_table.h"
#include "wire/device_state.h"

namespace plenvo::ctl {

struct StateRead {
    DeviceState state;
    // Not empty: what the unit did not report, or why it could not be asked.
    std::string error;
};

// The unit as plenvo-ctl reaches it: through the running panel, or on a
// line of its own. Errors name what the unit did not answer, or why it
// could not be reached.
class UnitAccess {
public:
    virtual ~UnitAccess() = default;

    // Every setting, as the unit reports it. On a line of its own, the line
    // is closed as soon as the last report is in unless it is needed after.
    virtual StateRead read_state(bool line_needed_after) = 0;
    // Sends the settings in order; stops at the first the unit does not take.
    virtual std::string apply(std::span<const control::Assignment> settings) = 0;
    // Prints a line for each report of the unit as it comes, until the line
    // or the panel goes away.
    virtual std::string watch(bool json) = 0;
};

}  // namespace plenvo::ctl
