#pragma once

#include "control/panel_client.h"
#include "ctl/unit_access.h"

namespace plenvo::ctl {

// The unit through the running panel, which owns the line: the panel sends
// each setting as its windows would and answers from what they show.
class PanelUnit final : public UnitAccess {
public:
    // Takes over a client connected to the panel.
    explicit PanelUnit(PanelClient& client) : client_(client) {}

    StateRead read_state(bool line_needed_after) override;
    std::string apply(std::span<const control::Assignment> settings) override;
    std::string watch(bool json) override;

private:
    std::string ask(const std::string& command, int timeout_ms, std::string& answer);

    PanelClient& client_;
};

// The status JSON of the control protocol as a device state; `error` names
// a setting it lacks.
DeviceState state_from_json(std::string_view json, std::string& error);

}  // namespace plenvo::ctl
