#include "unit/unit_model.h"

#include <algorithm>
#include <utility>

#include "control/setting_table.h"
#include "control/status.h"

namespace plenvo {

namespace {

// How long the unit's report of a level may take once it was asked for its
// state: the request's own second, and the poll that reads the report.
constexpr int kConfirmMs = 1200;
constexpr int kConfirmCheckMs = 250;

bool same_letters(const protocol::Command& a, const protocol::Command& b)
{
    return a.first == b.first && a.second == b.second;
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
    return state_.port_ok ? rule_refusal(command, value) : line_trouble();
}

QString UnitModel::rule_refusal(const protocol::Command& command, int value) const
{
    if (!same_letters(command, protocol::kPW) && reported_once(protocol::kPW) && state_.power_state == 0)
        return QStringLiteral("the power is off: only power can be set");
    if (same_letters(command, protocol::kIN) && value == protocol::kBypassInput && reported_once(protocol::kBY) &&
        state_.bypass_enabled != 1)
        return QStringLiteral("input bypass needs bypass on");
    return {};
}

void UnitModel::set(const protocol::Command& command, int value, Door from, OutcomeHandler done)
{
    // The windows keep a choice made while the port cannot work, as the
    // panel always has: it is shown, and goes nowhere.
    const QString why = from == Door::Windows ? rule_refusal(command, value) : refusal(command, value);
    if (!why.isEmpty()) {
        if (done)
            done({Outcome::Kind::Refused, QStringLiteral("not sent: %1 (%2)").arg(said(command, value), why)});
        return;
    }
    // The unit takes an input again, so it is always sent; anything else
    // the unit holds already is not.
    const bool held = reported_once(command) && state_.*(command.field) == value && !unconfirmed(command);
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
    if (!done || !is_level(command)) {
        link_.tx_cmd(uint8_t(command.first), uint8_t(command.second), value,
                     [this, command, value, done = std::move(done)](Link::TxResult result) {
                         sent(command, value, result, done);
                     });
        return;
    }
    // The unit does not answer a level: its report of the new value settles
    // it, as soon as it comes.
    const uint64_t id = ++last_confirmation_;
    confirmations_.push_back({id, command, value, std::move(done), platform_.tick_count(), false});
    timConfirm_->set_enabled(true);
    link_.tx_cmd(uint8_t(command.first), uint8_t(command.second), value,
                 [this, id](Link::TxResult result) { level_sent(id, result); });
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

// A level is on its way. Without the unit's report of it by the end of
// its step on the line, the unit is asked for its state once, and the
// report then says whether it holds the value.
void UnitModel::level_sent(uint64_t id, Link::TxResult result)
{
    const auto it = std::ranges::find_if(confirmations_, [id](const Confirmation& c) { return c.id == id; });
    if (it == confirmations_.end())
        return;
    if (result != Link::TxResult::Answered) {
        const Confirmation failed = std::move(*it);
        confirmations_.erase(it);
        sent(failed.command, failed.value, result, failed.done);
        return;
    }
    it->asked_state = true;
    it->since = platform_.tick_count();
    link_.request_state([this, id](Link::TxResult state_result) {
        if (state_result != Link::TxResult::Answered)
            level_sent(id, state_result);
    });
}

void UnitModel::settle_confirmations(const protocol::Command& command, int value)
{
    // Before the state request only the value itself settles it: another
    // may be a report the unit sent before it took the command.
    auto settled = std::ranges::partition(confirmations_, [&](const Confirmation& c) {
        return !same_letters(c.command, command) || (c.value != value && !c.asked_state);
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
        return !c.asked_state || uint32_t(now - c.since) < uint32_t(kConfirmMs);
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

bool UnitModel::reported_once(const protocol::Command& command) const
{
    const auto& order = protocol::kStateReportOrder;
    const auto it = std::ranges::find_if(order, [&](const protocol::Command& c) { return same_letters(c, command); });
    return it != order.end() && unit_values_[size_t(it - order.begin())].has_value();
}

bool UnitModel::open_port(int port)
{
    state_.com_port = int16_t(port);
    return link_.open_port(port);
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
