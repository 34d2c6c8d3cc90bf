#include "unit/link.h"

#include <algorithm>
#include <utility>

#include "lines/serial_control.h"
#include "base/trace.h"

namespace plenvo {

namespace {

constexpr const char* kLineSettings = "9600,N,8,1";
constexpr int kPollMs = 100;
constexpr int kTimeOutMs = 1000;
constexpr int kOkReplyMs = 500;
constexpr int kNoAnswerMs = 1000;
constexpr int kReopenMs = 1000;
// Three bytes take 3 ms at 9600 baud; far longer means the line is stuck.
constexpr int kDrainTimeoutMs = 100;
constexpr int kResendMs = 200;

QString frame_text(const protocol::Frame& frame)
{
    return trace::letters(frame.first, frame.second) + ' ' + QString::number(frame.value);
}

QString cant_work(int port)
{
    return QStringLiteral("COM%1: can't work !").arg(port);
}

QString no_answer_message(int port)
{
    return QStringLiteral("COM%1: no answer !").arg(port);
}

const char* const kNoAnswerHint =
    "The unit does not answer. Check that it is switched on, that the cable is in its RS-232 "
    "socket (a null-modem cable or adapter where the unit needs one), and that this port is "
    "the device the unit is connected to.";
// A local device is back within a second of being plugged in again; a
// network line whose far end restarts is asked less and less often.
constexpr int kReopenNetworkMaxMs = 10000;
// A server that serves one client at a time cuts off the one before when
// the next connects. A network line cut off this soon after connecting,
// twice in a row, was taken over by another client, which a reconnection
// would cut off in turn: it waits longer and longer before it tries again,
// so that the other keeps the line. (Once may be a server that restarts.)
// The first wait is well above this time, so that the other client's own
// reconnection does not look early to it.
constexpr int kCutOffEarlyMs = 3000;
constexpr int kEarlyCutsHeldElsewhere = 2;
constexpr int kHeldElsewhereFirstWaitMs = 10000;
constexpr int kHeldElsewhereMaxWaitMs = 60000;

QString lost_problem(const QString& reason, int retry_ms)
{
    return reason + QStringLiteral(" (the port is tried again every %1 s)").arg(retry_ms / 1000);
}

bool same_letters(const protocol::Frame& a, const protocol::Frame& b)
{
    return a.first == b.first && a.second == b.second;
}

// The setting a command carries, or nullptr (AL, RE, letters the unit does
// not know).
protocol::Field setting_of_command(uint8_t first, uint8_t second)
{
    const protocol::Command* command = protocol::find_command(first, second);
    return command ? command->field : nullptr;
}

protocol::Field setting_of_reply(const protocol::Frame& frame)
{
    const protocol::ReplyRule* rule = protocol::find_reply_rule(frame.first, frame.second);
    return rule && rule->kind == protocol::ReplyKind::Store ? rule->field : nullptr;
}

template <typename Choices>
auto* find_choice(Choices& choices, protocol::Field field)
{
    auto it = std::ranges::find_if(choices, [field](const auto& c) { return c.field == field; });
    return it == choices.end() ? nullptr : &*it;
}

}  // namespace

Link::Link(Platform& platform, SerialControl& serial, DeviceState& state, LinkListener& listener)
    : platform_(platform),
      serial_(serial),
      state_(state),
      listener_(listener),
      timRx_(platform.make_timer(kPollMs)),
      timTimeOut_(platform.make_timer(kTimeOutMs)),
      timResend_(platform.make_timer(kResendMs)),
      timQueue_(platform.make_timer(0)),
      timOkReply_(platform.make_timer(kOkReplyMs)),
      timNoAnswer_(platform.make_timer(kNoAnswerMs)),
      timReopen_(platform.make_timer(kReopenMs)),
      timConnect_(platform.make_timer(0)),
      timArrived_(platform.make_timer(0))
{
    timRx_->on_tick = [this] { timRx_Timer(); };
    timTimeOut_->on_tick = [this] { timTimeOut_Timer(); };
    timResend_->on_tick = [this] { resend_step(); };
    timQueue_->on_tick = [this] { send_queued(); };
    timOkReply_->on_tick = [this] { ask_again_for_state(); };
    timNoAnswer_->on_tick = [this] { no_answer(); };
    timReopen_->on_tick = [this] { try_reopening(); };
    timConnect_->on_tick = [this] { connection_settled(); };
    timArrived_->on_tick = [this] { read_arrived(); };
    serial_.on_connection_settled = [this] { timConnect_->set_enabled(true); };
    serial_.on_bytes_arrived = [this] {
        if (answer_awaited())
            timArrived_->set_enabled(true);
    };
}

Link::~Link()
{
    serial_.on_connection_settled = nullptr;
    serial_.on_bytes_arrived = nullptr;
}

QString Link::line_problem(int port) const
{
    const auto it = line_problems_.find(port);
    return it == line_problems_.end() ? QString() : it->second;
}

bool Link::open_port(int port)
{
    listener_.link_message(QString());
    // The user's choice of port ends any waiting for a lost device.
    timReopen_->set_enabled(false);
    reconnecting_ = false;
    early_cuts_ = 0;
    const bool opened = open_line(port);
    if (!opened) {
        listener_.link_message(cant_work(port));
        listener_.link_port_failed(port, line_problems_[port]);
    }
    listener_.link_port_changed();
    abandon_command();
    return opened;
}

// The frame on the line can no longer reach the unit: the port it went out
// on was closed, replaced or lost.
void Link::abandon_command()
{
    if (in_flight_)
        end_command(false);
}

bool Link::open_line(int port)
{
    const bool opened = [&] {
        // A connection still being made is abandoned too.
        if (state_.port_ok || awaiting_connection_)
            serial_.set_port_open(false);
        serial_.set_comm_port(port);
        if (!serial_.set_settings(QString::fromLatin1(kLineSettings)) || !serial_.set_port_open(true))
            return false;
        serial_.clear_in_buffer();
        serial_.clear_out_buffer();
        serial_.set_input_mode(1);
        serial_.set_input_len(0);
        return true;
    }();

    ++port_generation_;
    state_.port_ok = opened;
    awaiting_connection_ = opened && serial_.connecting();
    timConnect_->set_enabled(false);
    connected_at_ = platform_.tick_count();
    // A line still connecting is read once it is connected.
    timRx_->set_enabled(opened && !awaiting_connection_);
    timNoAnswer_->set_enabled(false);
    // The received bytes were just discarded; a partial frame kept from
    // before would be completed by unrelated bytes.
    assembler_.clear();
    line_problems_[port] = opened ? QString() : serial_.error_text();
    return opened;
}

void Link::close_port()
{
    close_line();
    abandon_command();
}

void Link::close_line()
{
    serial_.set_port_open(false);
    ++port_generation_;
    state_.port_ok = false;
    awaiting_connection_ = false;
    reconnecting_ = false;
    timConnect_->set_enabled(false);
    timRx_->set_enabled(false);
    // Commands that waited for a connection are refused now.
    if (!queued_.empty() && !state_.tx_busy)
        timQueue_->set_enabled(true);
}

// A network line's connection was made or has failed.
void Link::connection_settled()
{
    timConnect_->set_enabled(false);
    if (!awaiting_connection_ || serial_.connecting())
        return;
    awaiting_connection_ = false;
    if (serial_.device_lost()) {
        if (!reconnecting_) {
            cannot_connect();
            return;
        }
        reconnecting_ = false;
        const QString reason = serial_.error_text();
        serial_.set_port_open(false);
        reopen_failed(reason);
        return;
    }
    connected_at_ = platform_.tick_count();
    timRx_->set_enabled(true);
    line_problems_[state_.com_port].clear();
    if (reconnecting_) {
        reconnecting_ = false;
        state_.port_ok = true;
        reopened();
        return;
    }
    // The unit's second to answer a state request counts from now.
    if (timNoAnswer_->enabled()) {
        timNoAnswer_->set_enabled(false);
        timNoAnswer_->set_enabled(true);
    }
    listener_.link_port_changed();
    send_queued();
}

// The connection of a port opened on purpose failed: the port cannot work,
// as when its opening fails at once.
void Link::cannot_connect()
{
    const int port = state_.com_port;
    const QString reason = serial_.error_text();
    close_line();
    timNoAnswer_->set_enabled(false);
    line_problems_[port] = reason;
    listener_.link_message(cant_work(port));
    listener_.link_port_failed(port, reason);
    listener_.link_port_changed();
    abandon_command();
}

// The device behind an open port went away: shown as a port that cannot
// work, so the user knows to pick the port again once it is back.
void Link::report_port_lost()
{
    QString reason = serial_.error_text();
    int wait_ms = kReopenMs;
    const uint32_t lasted_ms = platform_.tick_count() - connected_at_;
    early_cuts_ = serial_.network_line() && lasted_ms < uint32_t(kCutOffEarlyMs) ? std::min(early_cuts_ + 1, 8) : 0;
    if (early_cuts_ >= kEarlyCutsHeldElsewhere) {
        wait_ms = std::min(kHeldElsewhereFirstWaitMs << (early_cuts_ - kEarlyCutsHeldElsewhere),
                           kHeldElsewhereMaxWaitMs);
        reason += QStringLiteral(" %1 s after connecting: another client holds the line")
                      .arg(double(lasted_ms) / 1000.0, 0, 'f', 1);
    }
    close_line();
    timReopen_->set_interval(wait_ms);
    timReopen_->set_enabled(true);
    line_problems_[state_.com_port] = lost_problem(reason, wait_ms);
    listener_.link_message(cant_work(state_.com_port));
    listener_.link_port_failed(state_.com_port, reason);
    listener_.link_port_changed();
    abandon_command();
}

// A lost device that is back is opened again, and the unit asked for its
// state: it may have changed meanwhile. A network line is shown as open
// only once it is connected again.
void Link::try_reopening()
{
    const QString problem = line_problem(state_.com_port);
    if (!open_line(state_.com_port)) {
        reopen_failed(serial_.error_text());
        return;
    }
    if (!awaiting_connection_) {
        reopened();
        return;
    }
    state_.port_ok = false;
    reconnecting_ = true;
    timReopen_->set_enabled(false);
    line_problems_[state_.com_port] = problem;
}

void Link::reopened()
{
    timReopen_->set_enabled(false);
    listener_.link_message(QString());
    listener_.link_port_changed();
    request_state();
}

void Link::reopen_failed(const QString& reason)
{
    // The far end is away rather than held by another client.
    early_cuts_ = 0;
    if (serial_.network_line())
        timReopen_->set_interval(std::min(2 * timReopen_->interval(), kReopenNetworkMaxMs));
    line_problems_[state_.com_port] = lost_problem(reason, timReopen_->interval());
    timReopen_->set_enabled(true);
    listener_.link_port_changed();
}

void Link::tx_cmd(uint8_t first, uint8_t second, int value, TxDone done)
{
    std::vector<TxDone> callers;
    if (done)
        callers.push_back(std::move(done));
    // A value that does not fit the frame's byte is refused before the
    // command counts as in progress, so later commands still go out.
    if (!state_.port_ok || value < 0 || value > 255) {
        for (const TxDone& caller : callers)
            caller(TxResult::Refused);
        return;
    }

    Pending command{{first, second, uint8_t(value)}, std::move(callers)};
    choose(command.frame);
    // Inside a poll the answer would be read before the bytes still to be
    // applied from that poll. A line still connecting takes it once it is
    // connected.
    if (!state_.tx_busy && !polling_ && !awaiting_connection_) {
        send_now(std::move(command));
        return;
    }
    if (in_flight_ && in_flight_->frame == command.frame) {
        // Already on its way: only a different value chosen meanwhile is dropped.
        for (Pending& q : queued_)
            if (same_letters(q.frame, command.frame))
                for (const TxDone& caller : q.done)
                    caller(TxResult::Replaced);
        std::erase_if(queued_, [&](const Pending& q) { return same_letters(q.frame, command.frame); });
        for (TxDone& caller : command.done)
            in_flight_->done.push_back(std::move(caller));
        return;
    }
    if (awaiting_connection_)
        trace::line(QStringLiteral("held"), frame_text(command.frame));
    queue(std::move(command));
}

void Link::request_state(TxDone done)
{
    if (state_.port_ok)
        timNoAnswer_->set_enabled(true);
    tx_cmd(protocol::kAL.first, protocol::kAL.second, 0, std::move(done));
}

void Link::no_answer()
{
    // The unit is asked once the line is connected.
    if (awaiting_connection_)
        return;
    timNoAnswer_->set_enabled(false);
    if (!state_.port_ok)
        return;
    line_problems_[state_.com_port] = QString::fromLatin1(kNoAnswerHint);
    listener_.link_message(no_answer_message(state_.com_port));
    listener_.link_port_changed();
}

void Link::send_now(Pending command)
{
    state_.tx_busy = true;
    awaited_ = protocol::awaited_code(command.frame.first, command.frame.second);
    in_flight_ = std::move(command);
    answered_ = false;
    state_.tx_timeout = false;
    timTimeOut_->set_enabled(true);
    rx_code = protocol::kNoCode;
    sent_at_ = platform_.tick_count();

    serial_.drain_output(kDrainTimeoutMs);
    if (!put_on_line()) {
        end_command(false);
        return;
    }
    timResend_->set_enabled(true);
}

bool Link::put_on_line()
{
    const protocol::Frame& frame = in_flight_->frame;
    const char raw[protocol::kFrameSize] = {char(frame.first), char(frame.second), char(frame.value)};
    if (!serial_.output(QByteArray(raw, protocol::kFrameSize)))
        return false;
    trace::line(QStringLiteral("tx"), frame_text(frame));
    return true;
}

// Every 0.2 s while a command is on the line: it is done once its answer
// is in (or at the first step, when none is awaited), has failed once the
// time-out has fallen due, and else goes out again.
void Link::resend_step()
{
    // Both fall due together at the fifth step; the time-out comes first.
    if (!state_.tx_timeout && uint32_t(platform_.tick_count() - sent_at_) >= uint32_t(kTimeOutMs))
        timTimeOut_Timer();
    if (!awaited_ || answered_) {
        end_command(true);
        return;
    }
    if (state_.tx_timeout || !put_on_line())
        end_command(false);
}

// Tells the callers of the command on the line how it went, once.
void Link::settle(TxResult result)
{
    if (!in_flight_)
        return;
    const std::vector<TxDone> callers = std::exchange(in_flight_->done, {});
    for (const TxDone& caller : callers)
        caller(result);
}

void Link::end_command(bool ok)
{
    timResend_->set_enabled(false);
    timTimeOut_->set_enabled(false);
    state_.tx_busy = false;
    const protocol::Frame frame = in_flight_->frame;
    if (ok)
        std::erase_if(choices_, [&](const Choice& c) {
            return c.field == setting_of_command(frame.first, frame.second) && c.value == frame.value;
        });
    else
        listener_.link_message(QString::fromLatin1(kTxFail));
    // The line is free before the callers learn how it went: one of them
    // may send the next command at once.
    const std::vector<TxDone> callers = std::exchange(in_flight_->done, {});
    in_flight_.reset();
    awaited_.reset();
    if (!queued_.empty())
        timQueue_->set_enabled(true);
    for (const TxDone& caller : callers)
        caller(ok ? TxResult::Answered : TxResult::Failed);
}

Link::Choice* Link::choice_for(protocol::Field field)
{
    return find_choice(choices_, field);
}

const Link::Choice* Link::choice_for(protocol::Field field) const
{
    return find_choice(choices_, field);
}

void Link::choose(const protocol::Frame& frame)
{
    const protocol::Field field = setting_of_command(frame.first, frame.second);
    if (!field)
        return;
    Choice* choice = choice_for(field);
    if (!choice) {
        choices_.push_back({field, frame.value, {}});
        return;
    }
    if (choice->value != frame.value && std::ranges::find(choice->earlier, choice->value) == choice->earlier.end())
        choice->earlier.push_back(choice->value);
    choice->value = frame.value;
}

bool Link::unconfirmed(uint8_t first, uint8_t second) const
{
    const protocol::Field field = setting_of_command(first, second);
    return field && choice_for(field);
}

void Link::queue(Pending command)
{
    auto it = std::ranges::find_if(queued_, [&](const Pending& q) { return same_letters(q.frame, command.frame); });
    if (it == queued_.end()) {
        queued_.push_back(std::move(command));
        return;
    }
    for (const TxDone& caller : it->done)
        caller(TxResult::Replaced);
    *it = std::move(command);
}

void Link::send_queued()
{
    timQueue_->set_enabled(false);
    if (state_.tx_busy || polling_ || awaiting_connection_ || queued_.empty())
        return;
    Pending next = std::move(queued_.front());
    queued_.erase(queued_.begin());
    const protocol::Frame frame = next.frame;
    // The port may have closed since it was asked for.
    tx_cmd(frame.first, frame.second, frame.value, [callers = std::move(next.done)](TxResult result) {
        for (const TxDone& caller : callers)
            caller(result);
    });
    if (!state_.tx_busy && !queued_.empty())
        timQueue_->set_enabled(true);
}

// An answer carrying a value sent before the user's latest choice of that
// setting: the unit is still to get the latest one, so the windows keep it.
bool Link::stale_answer(const protocol::Frame& frame) const
{
    const protocol::Field field = setting_of_reply(frame);
    const Choice* choice = field ? choice_for(field) : nullptr;
    return choice && choice->value != frame.value &&
           std::ranges::find(choice->earlier, int(frame.value)) != choice->earlier.end();
}

void Link::apply(const protocol::Frame& frame)
{
    timNoAnswer_->set_enabled(false);
    if (const auto silent = line_problems_.find(state_.com_port);
        silent != line_problems_.end() && silent->second == QLatin1String(kNoAnswerHint)) {
        silent->second.clear();
        listener_.link_port_changed();
    }
    const protocol::ReplyRule* rule = protocol::find_reply_rule(frame.first, frame.second);
    const bool answers = awaited_ && !answered_ && !state_.tx_timeout;
    if (stale_answer(frame)) {
        // It still answers the command on the line when it carries its value.
        if (answers && rule->code == *awaited_ && in_flight_->frame.value == frame.value) {
            answered_ = true;
            settle(TxResult::Answered);
        }
        return;
    }
    const protocol::AppliedReply applied = protocol::apply_reply(frame, state_);
    rx_code = applied.code;
    if (applied.ok_reply) {
        // The state request goes out half a second later from the message
        // loop, so the poll goes on meanwhile.
        timOkReply_->set_enabled(false);
        timOkReply_->set_enabled(true);
    }
    listener_.link_frame_applied(frame, rx_code);
    if (answers && rx_code == *awaited_) {
        answered_ = true;
        settle(TxResult::Answered);
    }
}

void Link::ask_again_for_state()
{
    timOkReply_->set_enabled(false);
    request_state();
}

void Link::timTimeOut_Timer()
{
    timTimeOut_->set_enabled(false);
    // Bytes that reached the port before the time-out may be the answer:
    // they are read first.
    if (!polling_ && state_.port_ok && serial_.in_buffer_count() > 0) {
        polling_ = true;
        read_and_apply();
        end_poll();
    }
    state_.tx_timeout = true;
}

void Link::timRx_Timer()
{
    if (polling_)
        return;
    if (serial_.device_lost()) {
        report_port_lost();
        return;
    }
    if (serial_.in_buffer_count() == 0)
        return;
    polling_ = true;
    read_and_apply();
    end_poll();
}

bool Link::answer_awaited() const
{
    return (awaited_ && !answered_ && !state_.tx_timeout) || listener_.link_awaits_report();
}

// What came while an answer was awaited is read at once, as the poll does;
// the poll itself keeps its own pace.
void Link::read_arrived()
{
    timArrived_->set_enabled(false);
    if (timRx_->enabled())
        timRx_Timer();
}

// Commands asked for while the poll applied its frames go out now.
void Link::end_poll()
{
    polling_ = false;
    if (!queued_.empty() && !state_.tx_busy)
        timQueue_->set_enabled(true);
}

void Link::read_and_apply()
{
    const uint64_t generation = port_generation_;
    const QByteArray received = serial_.input();
    for (char byte : received) {
        // The rest was read from a port that has been closed or replaced
        // while a frame was shown.
        if (generation != port_generation_)
            break;
        const std::optional<protocol::Frame> frame = assembler_.feed(uint8_t(byte), platform_.tick_count());
        if (!frame)
            continue;
        trace::line(QStringLiteral("rx"), frame_text(*frame));
        apply(*frame);
    }
}

}  // namespace plenvo
