#include "sim/unit.h"

namespace plenvo::sim {

namespace {

bool same_letters(const protocol::Command& a, const protocol::Command& b)
{
    return a.first == b.first && a.second == b.second;
}

}  // namespace

protocol::Frame report_frame(const protocol::Command& setting, int16_t value)
{
    return {uint8_t(setting.first), uint8_t(setting.second), uint8_t(value)};
}

Unit::Unit()
{
    state_.set_start_up_values();
    state_.power_state = 1;
}

std::vector<protocol::Frame> Unit::answer(const protocol::Frame& command)
{
    const protocol::Command* known = protocol::find_command(command.first, command.second);
    if (!known)
        return {};
    if (same_letters(*known, protocol::kAL))
        return report_all();
    if (same_letters(*known, protocol::kRE)) {
        state_.reset_video_settings();
        return {report_frame(protocol::kRE, 0)};
    }
    state_.*(known->field) = command.value;
    return {report_frame(*known, state_.*(known->field))};
}

void Unit::report(const protocol::Frame& frame)
{
    protocol::apply_reply(frame, state_);
}

std::vector<protocol::Frame> Unit::report_all() const
{
    std::vector<protocol::Frame> reports;
    reports.reserve(protocol::kStateReportOrder.size());
    for (const protocol::Command& setting : protocol::kStateReportOrder)
        reports.push_back(report_frame(setting, state_.*(setting.field)));
    return reports;
}

std::optional<protocol::Frame> CommandAssembler::push(uint8_t byte, Clock::time_point arrived)
{
    if (count_ > 0 && arrived - last_arrival_ > kStaleAfter)
        count_ = 0;
    last_arrival_ = arrived;
    bytes_[count_++] = byte;
    if (count_ < bytes_.size())
        return std::nullopt;
    count_ = 0;
    return protocol::Frame{bytes_[0], bytes_[1], bytes_[2]};
}

}  // namespace plenvo::sim
