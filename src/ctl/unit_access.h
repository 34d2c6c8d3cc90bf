#pragma once

#include <functional>
#include <string>
#include <vector>

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
// could not be reached. Each call tells its outcome once, from the event
// loop or at once.
class UnitAccess {
public:
    using StateDone = std::function<void(const StateRead& read)>;
    // Empty, or what went wrong.
    using Done = std::function<void(const std::string& error)>;

    virtual ~UnitAccess() = default;

    // Every setting, as the unit reports it. On a line of its own, the line
    // is closed as soon as the last report is in unless it is needed after.
    virtual void read_state(bool line_needed_after, StateDone done) = 0;
    // Sends the settings in order; stops at the first the unit does not take.
    virtual void apply(std::vector<control::Assignment> settings, Done done) = 0;
    // Prints a line for each change the unit reports as it comes, until the
    // line or the panel goes away.
    virtual void watch(bool json, Done ended) = 0;
};

}  // namespace plenvo::ctl
