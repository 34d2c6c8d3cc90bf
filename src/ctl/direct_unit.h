#pragma once

#include <QString>

#include <bitset>
#include <memory>
#include <optional>

#include "base/platform.h"
#include "control/setting_table.h"
#include "ctl/unit_access.h"
#include "unit/unit_model.h"

namespace plenvo {
class SerialControl;
}

namespace plenvo::ctl {

// The unit on a line of plenvo-ctl's own, through the unit model the panel
// uses: the same frames, re-sends, time-outs and rules as the panel's.
class DirectUnit final : public UnitAccess {
public:
    // `serial` opens `device` as its port 1.
    DirectUnit(Platform& platform, SerialControl& serial, QString device);
    ~DirectUnit() override;

    // Empty, or why the line cannot be opened.
    std::string open();

    void read_state(bool line_needed_after, StateDone done) override;
    void apply(std::vector<control::Assignment> settings, Done done) override;
    void watch(bool json, Done ended) override;

    UnitModel& model() { return model_; }

private:
    void frame_applied(const protocol::Frame& frame);
    void state_read();
    void apply_from(size_t index);
    void apply_failed(size_t index, const std::string& reason);
    std::string trouble() const;
    // Runs `then` from the event loop, out of the model's own work.
    template <typename Then>
    void later(Then then);

    QString device_;
    UnitModel model_;
    std::unique_ptr<Timer> timState_;
    std::bitset<control::kSettings.size()> reported_;
    StateDone state_done_;
    bool close_when_reported_ = false;
    std::vector<control::Assignment> settings_;
    Done apply_done_;
    std::optional<bool> watch_json_;
    Done watch_ended_;
};

}  // namespace plenvo::ctl
