#pragma once

#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "wire/device_state.h"
#include "wire/protocol.h"
#include "wire/reply_assembler.h"
#include "base/platform.h"

namespace plenvo {

class SerialControl;

inline constexpr const char* kTxFail = "Tx  fail !";

// What the link tells the program that owns it: the panel's windows, or a
// command-line client.
class LinkListener {
public:
    virtual ~LinkListener() = default;
    // A text for the message line; empty clears it.
    virtual void link_message(const QString& text) = 0;
    // The port opened, failed, was lost or came back by itself: its
    // indicator and what `line_problem` says may have changed.
    virtual void link_port_changed() = 0;
    // A port could not be opened or its device went away, and why.
    virtual void link_port_failed(int port, const QString& reason) = 0;
    // A reply frame was stored in the device state; `code` is its reply code.
    virtual void link_frame_applied(const protocol::Frame& frame, int code) = 0;
};

// The serial line to the unit and its protocol: opening the port, sending
// command frames and waiting for their answers, polling for replies and
// storing them in the device state. No windows: the panel and the
// command-line client share it.
//
// One command is on the line at a time. A command asked for while another
// waits, or while a poll shows what it read, is kept, one per setting with
// the latest value, and goes out from the message loop once the line is
// free.
class Link {
public:
    Link(Platform& platform, SerialControl& serial, DeviceState& state, LinkListener& listener);
    ~Link();

    // Opens the line on `port` (closing it first when open); false when the
    // port cannot work, which the message line then says.
    bool open_port(int port);
    void close_port();

    enum class TxResult {
        Answered,  // the unit answered (or nothing is awaited for the command)
        Failed,    // "Tx  fail !": no answer within the time-out, or the port broke
        Queued,    // another command waits; this one goes out after it
        Refused,   // the port is not open, or the value does not fit a byte
    };
    // Sends the frame, re-sends it every 0.2 s until its answer is applied
    // or one second has passed, yielding all the while.
    TxResult tx_cmd(uint8_t first, uint8_t second, int value);
    // Asks the unit for its whole state (AL). When nothing at all comes
    // back within a second, the message line says the unit does not answer.
    TxResult request_state();

    // What is wrong with a port's line, for its tooltip: why it cannot be
    // opened, or that the unit does not answer. Empty while all is well.
    QString line_problem(int port) const;

    // No command is on the line or waiting to go out, and no poll is under
    // way: a command sent now goes out at once, and its call returns with
    // the unit's answer or the failure.
    bool idle() const { return !state_.tx_busy && !polling_ && queued_.empty(); }

    // The latest value chosen for the setting of these letters has not been
    // answered by the unit yet: it is on its way, or its sending failed.
    bool unconfirmed(uint8_t first, uint8_t second) const;

    void timRx_Timer();
    void timTimeOut_Timer();
    Timer& timRx() const { return *timRx_; }
    Timer& timTimeOut() const { return *timTimeOut_; }

    // The reply code of the frame applied last.
    int rx_code = protocol::kNoCode;

private:
    // The latest value chosen for a setting, until the unit answers it.
    struct Choice {
        protocol::Field field;
        int value;
        // Values sent for this setting before the latest one: their late
        // answers are not the unit's own reports.
        std::vector<int> earlier;
    };

    bool open_line(int port);
    bool link_broken(uint64_t generation) const;
    void report_port_lost();
    TxResult send_and_wait(const protocol::Frame& frame);
    void choose(const protocol::Frame& frame);
    Choice* choice_for(protocol::Field field);
    const Choice* choice_for(protocol::Field field) const;
    void queue(const protocol::Frame& frame);
    void send_queued();
    bool stale_answer(const protocol::Frame& frame) const;
    void read_and_apply();
    void end_poll();
    void apply(const protocol::Frame& frame);
    void ask_again_for_state();
    void no_answer();
    void try_reopening();

    Platform& platform_;
    SerialControl& serial_;
    DeviceState& state_;
    LinkListener& listener_;
    std::unique_ptr<Timer> timRx_;
    std::unique_ptr<Timer> timTimeOut_;
    // Runs the queued commands from the message loop.
    std::unique_ptr<Timer> timQueue_;
    // The unit's OK asks for a state request half a second later.
    std::unique_ptr<Timer> timOkReply_;
    // A second after a state request: did anything come back?
    std::unique_ptr<Timer> timNoAnswer_;
    // Tries a lost device again until it is back.
    std::unique_ptr<Timer> timReopen_;
    ReplyAssembler assembler_;
    // Counts port openings, so that a wait or a poll can tell that the port
    // it works on was closed or replaced meanwhile.
    uint64_t port_generation_ = 0;
    bool polling_ = false;
    bool timeout_after_poll_ = false;
    // By port: each keeps its own reason, also when start-up tried both.
    std::map<int, QString> line_problems_;

    // The command on the line and whether its answer has been applied.
    std::optional<protocol::Frame> in_flight_;
    std::optional<int> awaited_;
    bool answered_ = false;
    std::vector<protocol::Frame> queued_;
    std::vector<Choice> choices_;
};

}  // namespace plenvo
