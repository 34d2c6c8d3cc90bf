#pragma once

#include "control/panel_client.h"
#include "ctl/unit_access.h"

namespace plenvo::ctl {

// The unit through the running program, which owns the line: it sends each
// setting through its unit model, as a click does, and answers from its
// outcome. Each call waits for the program's answer and tells it at once.
class PanelUnit final : public UnitAccess {
public:
    // Takes over a client connected to the panel.
    explicit PanelUnit(PanelClient& client) : client_(client) {}

    void read_state(bool line_needed_after, StateDone done) override;
    void apply(std::vector<control::Assignment> settings, Done done) override;
    void watch(bool json, Done ended) override;

private:
    std::string ask(const std::string& command, int timeout_ms, std::string& answer);

    PanelClient& client_;
};

// The status JSON of the control protocol as a device state; `error` names
// a setting it lacks.
DeviceState state_from_json(std::string_view json, std::string& error);

}  // namespace plenvo::ctl
