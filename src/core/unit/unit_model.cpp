#include "unit/unit_model.h"

#include <algorithm>
#include <utility>

#include "control/setting_table.h"
#include "control/status.h"

namespace plenvo {

namespace {

// How long a level sent for a door may take to show in the unit's reports:
// its 0.2 s on the line, a state request and the unit's answers to it.
constexpr int kConfirmMs = 1500;
constexpr int kConfirmCheckMs = 250;

bool same_letters(const protocol::Command& a, const protocol::Command& b)
{
    return a.first == b.first && a.second == b.second;
}

// The setting's place in the unit's state report, or nullopt (AL, RE).
std::optional<size_t> report_index(const protocol::Command& command)
{
    const auto& order = protocol::kStateReportOrder;
    const auto it = std::ranges::find_if(order, [&](const protocol::Command& c) { return same_letters(c, command); });
    return it == order.end() ? std::nullopt : std::optional<size_t>(size_t(it - order.begin()));
}

QString said(const protocol::Command& command, int value)
{
    const auto setting = std::ranges::find_if(control::kSettings, [&](const control::Setting& s) {
        return same_letters(s.command, command);
    });
    if (setting == control::kSettings.end())
        return QStringLiteral("%1%2 %3").arg(command.first).arg(command.second).arg(value);
    return QString::fromStdString(control::setting_text(*setting, value));
}

bool is_level(const protocol::Command& command)
{
    return !protocol::awaited_code(uint8_t(command.first), uint8_t(command.second));
}

}  // namespace

UnitModel::UnitModel(Platform& platform, SerialControl& serial, QObject* parent)
    : QObject(parent),
      platform_(platform),
      link_(platform, serial, state_, *this),
      timConfirm_(platform.make_timer(kConfirmCheckMs))
{
    state_.set_start_up_values();
    timConfirm_->on_tick = [this] { give_up_confirmations(); };
}

UnitModel::~UnitModel() = default;

QString UnitModel::line_trouble() const
{
    const QString problem = link_.line_problem(state_.com_port);
    if (state_.port_ok && problem.isEmpty())
        return {};
    return QStringLiteral("COM%1: %2")
        .arg(state_.com_port)
        .arg(problem.isEmpty() ? QStringLiteral("the port is not open") : problem);
}

bool UnitModel::unconfirmed(const protocol::Command& command) const
{
    return link_.unconfirmed(uint8_t(command.first), uint8_t(command.second));
}

QString UnitModel::refusal(const protocol::Command& command, int value) const
{
    if (!state_.port_ok)
        return line_trouble();
    if (!same_letters(command, protocol::kPW) && state_.power_state != 1)
        return QStringLiteral("the power is off: only power can be set");
    if (same_letters(command, protocol::kIN) && value == protocol::kBypassInput && state_.bypass_enabled != 1)
        return QStringLiteral("input bypass needs bypass on");
    return {};
}

void UnitModel::set(const protocol::Command& command, int value, Door from, OutcomeHandler done)
{
    if (const QString why = refusal(command, value); !why.isEmpty()) {
        if (done)
            done({Outcome::Kind::Refused, QStringLiteral("not sent: %1 (%2)").arg(said(command, value), why)});
        return;
    }
    // The unit takes an input again, so it is always sent; anything else
    // the unit holds already is not.
    const bool held = state_.*(command.field) == value && !unconfirmed(command);
    if (held && !same_letters(command, protocol::kIN)) {
        if (done)
            done({});
        return;
    }
    store(command, value);
    emit chosen(command, from);
    send(command, value, from, std::move(done));
}

void UnitModel::reset_levels(Door from, OutcomeHandler done)
{
    if (const QString why = refusal(protocol::kRE, 0); !why.isEmpty()) {
        if (done)
            done({Outcome::Kind::Refused, QStringLiteral("not sent: reset (%1)").arg(why)});
        return;
    }
    state_.reset_video_settings();
    emit chosen(protocol::kRE, from);
    link_.tx_cmd(uint8_t(protocol::kRE.first), uint8_t(protocol::kRE.second), 0, [this, done](Link::TxResult result) {
        sent(protocol::kRE, 0, result, done);
    });
}

void UnitModel::store(const protocol::Command& command, int value)
{
    state_.*(command.field) = int16_t(value);
    if (same_letters(command, protocol::kBY))
        bypass_fallback();
}

// With the bypass no longer allowed the selection falls back from the
// bypass to the PC input it passes through; the unit does the same.
void UnitModel::bypass_fallback()
{
    if (state_.bypass_enabled == 0 && state_.input_source == protocol::kBypassInput)
        state_.input_source = 3;
}

void UnitModel::send(const protocol::Command& command, int value, Door from, OutcomeHandler done)
{
    std::erase_if(asked_, [&](const Asked& a) { return same_letters(a.command, command); });
    asked_.push_back({command, value, from});
    const bool confirm = done && is_level(command);
    link_.tx_cmd(uint8_t(command.first), uint8_t(command.second), value,
                 [this, command, value, confirm, done = std::move(done)](Link::TxResult result) {
                     if (confirm && result == Link::TxResult::Answered)
                         confirm_level(command, value, done);
                     else
                         sent(command, value, result, done);
                 });
}

void UnitModel::sent(const protocol::Command& command, int value, Link::TxResult result, const OutcomeHandler& done)
{
    if (!done)
        return;
    const QString asked = said(command, value);
    switch (result) {
    case Link::TxResult::Answered: done({}); break;
    case Link::TxResult::Failed:
        done({Outcome::Kind::NotAnswered, QStringLiteral("the unit did not answer %1").arg(asked)});
        break;
    case Link::TxResult::Refused:
        done({Outcome::Kind::Refused, QStringLiteral("not sent: %1 (%2)").arg(asked, line_trouble())});
        break;
    case Link::TxResult::Replaced:
        done({Outcome::Kind::Replaced, QStringLiteral("%1 was replaced by a later choice").arg(asked)});
        break;
    }
}

// The unit does not answer a level. Its report of the new value settles it;
// without one, the unit is asked for its state once, and its report then
// says whether it holds the value.
void UnitModel::confirm_level(const protocol::Command& command, int value, OutcomeHandler done)
{
    const std::optional<size_t> index = report_index(command);
    if (index && unit_values_[*index] == value) {
        done({});
        return;
    }
    confirmations_.push_back({command, value, std::move(done), platform_.tick_count()});
    timConfirm_->set_enabled(true);
    link_.request_state([this, command, value](Link::TxResult result) {
        if (result == Link::TxResult::Answered)
            return;
        // No state request reached the unit: what it holds is not known.
        auto unsettled = std::ranges::partition(confirmations_, [&](const Confirmation& c) {
            return !(same_letters(c.command, command) && c.value == value);
        });
        std::vector<Confirmation> failed(std::make_move_iterator(unsettled.begin()),
                                         std::make_move_iterator(unsettled.end()));
        confirmations_.erase(unsettled.begin(), unsettled.end());
        for (const Confirmation& c : failed)
            sent(c.command, c.value, result, c.done);
    });
}

void UnitModel::settle_confirmations(const protocol::Command& command, int value)
{
    auto settled = std::ranges::partition(confirmations_, [&](const Confirmation& c) {
        return !same_letters(c.command, command);
    });
    std::vector<Confirmation> done(std::make_move_iterator(settled.begin()), std::make_move_iterator(settled.end()));
    confirmations_.erase(settled.begin(), settled.end());
    for (const Confirmation& c : done) {
        if (c.value == value)
            c.done({});
        else
            c.done({Outcome::Kind::NotConfirmed, QStringLiteral("the unit reports %1 after %2")
                                                     .arg(said(command, value), said(c.command, c.value))});
    }
}

void UnitModel::give_up_confirmations()
{
    const uint32_t now = platform_.tick_count();
    auto late = std::ranges::partition(confirmations_, [&](const Confirmation& c) {
        return uint32_t(now - c.since) < uint32_t(kConfirmMs);
    });
    std::vector<Confirmation> given_up(std::make_move_iterator(late.begin()), std::make_move_iterator(late.end()));
    confirmations_.erase(late.begin(), late.end());
    if (confirmations_.empty())
        timConfirm_->set_enabled(false);
    for (const Confirmation& c : given_up)
        c.done({Outcome::Kind::NotConfirmed,
                QStringLiteral("the unit did not report %1 after it was sent").arg(said(c.command, c.value))});
}

Door UnitModel::asked_by(const protocol::Command& command, int value)
{
    const auto it = std::ranges::find_if(asked_, [&](const Asked& a) {
        return same_letters(a.command, command) && a.value == value;
    });
    if (it == asked_.end())
        return Door::Unit;
    const Door by = it->from;
    asked_.erase(it);
    return by;
}

bool UnitModel::open_start_up_port(int saved_port)
{
    start_up_fallback_.reset();
    state_.com_port = int16_t(saved_port);
    const int other = saved_port == 1 ? 2 : 1;
    if (link_.open_port(saved_port)) {
        if (link_.connecting())
            start_up_fallback_ = other;
        return true;
    }
    state_.com_port = int16_t(other);
    return link_.open_port(state_.com_port);
}

void UnitModel::link_port_changed()
{
    emit port_changed();
    if (!start_up_fallback_ || link_.connecting())
        return;
    const int other = *std::exchange(start_up_fallback_, std::nullopt);
    if (state_.port_ok)
        return;
    state_.com_port = int16_t(other);
    if (link_.open_port(other))
        link_.request_state();
}

void UnitModel::choose_port(int port)
{
    start_up_fallback_.reset();
    state_.com_port = int16_t(port);
    // The unit may have changed while the port was closed or elsewhere.
    if (link_.open_port(port))
        link_.request_state();
}

void UnitModel::link_frame_applied(const protocol::Frame& frame, int code)
{
    const protocol::ReplyRule* rule = protocol::find_reply_rule(frame.first, frame.second);
    if (rule && rule->kind == protocol::ReplyKind::Store && rule->field == &DeviceState::bypass_enabled &&
        state_.power_state == 1)
        bypass_fallback();
    emit frame_applied(frame, code);

    if (!rule || rule->kind != protocol::ReplyKind::Store)
        return;
    const auto& order = protocol::kStateReportOrder;
    const auto setting = std::ranges::find_if(order, [&](const protocol::Command& c) { return c.field == rule->field; });
    if (setting == order.end())
        return;
    const int value = frame.value;
    std::optional<int>& known = unit_values_[size_t(setting - order.begin())];
    const Door by = asked_by(*setting, value);
    settle_confirmations(*setting, value);
    if (known == value)
        return;
    known = value;
    emit reported(*setting, value, by);
}

}  // namespace plenvo
