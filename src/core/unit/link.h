#pragma once

#include <QString>

#include <cstdint>
#include <functional>
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
    // Something waits for a report of the unit's (a level's value): what
    // the unit sends is then read as soon as it comes, not at the next poll.
    virtual bool link_awaits_report() const { return false; }
};

// The serial line to the unit and its protocol: opening the port, sending
// command frames and waiting for their answers, polling for replies and
// storing them in the device state. No windows and no waiting: everything
// happens in timer ticks on the program's message loop. While an answer or
// a report is awaited, what the unit sends is read as soon as it comes;
// otherwise the poll reads it.
//
// One command is on the line at a time. A command asked for while another
// waits, or while a poll applies what it read, is kept, one per setting with
// the latest value, and goes out from the message loop once the line is
// free.
class Link {
public:
    Link(Platform& platform, SerialControl& serial, DeviceState& state, LinkListener& listener);
    ~Link();

    // Opens the line on `port` (closing it first when open); false when the
    // port cannot work, which the message line then says. A command waiting
    // for its answer on the line it replaces has failed. A network line
    // counts as open while it connects: commands wait for the connection,
    // and a connection that fails ends as a port that cannot work.
    bool open_port(int port);
    // Closes the line; a command waiting for its answer has failed.
    void close_port();
    // The line opened last is still connecting.
    bool connecting() const { return awaiting_connection_; }
    // A lost device is tried again by itself.
    bool retrying() const { return reconnecting_ || timReopen_->enabled(); }

    enum class TxResult {
        Answered,  // the unit answered (or, for a command no answer is awaited for, it was sent)
        Failed,    // "Tx  fail !": no answer within the time-out, or the port broke
        Refused,   // the port is not open, or the value does not fit a byte
        Replaced,  // a later value for the same setting was asked for before this one went out
    };
    using TxDone = std::function<void(TxResult)>;

    // Sends the frame and re-sends it every 0.2 s until its answer is applied
    // or one second has passed. `done` learns the result once: as soon as the
    // answer is applied, or when the command ends without one. The line is
    // free for the next command at the end of the 0.2 s step the answer came
    // in, as the unit expects.
    void tx_cmd(uint8_t first, uint8_t second, int value, TxDone done = {});
    // Asks the unit for its whole state (AL). When nothing at all comes
    // back within a second, the message line says the unit does not answer.
    void request_state(TxDone done = {});

    // What is wrong with a port's line, for its tooltip: why it cannot be
    // opened, or that the unit does not answer. Empty while all is well.
    QString line_problem(int port) const;

    // No command is on the line or waiting to go out, and no poll is under
    // way.
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
    struct Pending {
        protocol::Frame frame;
        std::vector<TxDone> done;
    };

    bool open_line(int port);
    void close_line();
    void abandon_command();
    void connection_settled();
    void cannot_connect();
    void report_port_lost();
    void send_now(Pending command);
    bool put_on_line();
    void resend_step();
    void settle(TxResult result);
    void end_command(bool ok);
    void choose(const protocol::Frame& frame);
    Choice* choice_for(protocol::Field field);
    const Choice* choice_for(protocol::Field field) const;
    void queue(Pending command);
    void send_queued();
    bool stale_answer(const protocol::Frame& frame) const;
    void read_and_apply();
    bool answer_awaited() const;
    void read_arrived();
    void end_poll();
    void apply(const protocol::Frame& frame);
    void ask_again_for_state();
    void no_answer();
    void try_reopening();
    void reopened();
    void reopen_failed(const QString& reason);

    Platform& platform_;
    SerialControl& serial_;
    DeviceState& state_;
    LinkListener& listener_;
    std::unique_ptr<Timer> timRx_;
    std::unique_ptr<Timer> timTimeOut_;
    // The 0.2 s steps of a command on the line: re-send, or end it.
    std::unique_ptr<Timer> timResend_;
    // Runs the queued commands from the message loop.
    std::unique_ptr<Timer> timQueue_;
    // The unit's OK asks for a state request half a second later.
    std::unique_ptr<Timer> timOkReply_;
    // A second after a state request: did anything come back?
    std::unique_ptr<Timer> timNoAnswer_;
    // Tries a lost device again until it is back.
    std::unique_ptr<Timer> timReopen_;
    // Handles a network line's connection, made or failed, from the
    // message loop.
    std::unique_ptr<Timer> timConnect_;
    // Reads what the unit sent, from the message loop, as soon as it came.
    std::unique_ptr<Timer> timArrived_;
    ReplyAssembler assembler_;
    // Counts port openings and closings, so that a poll can tell that the
    // port it reads was replaced meanwhile.
    uint64_t port_generation_ = 0;
    bool polling_ = false;
    // By port: each keeps its own reason, also when start-up tried both.
    std::map<int, QString> line_problems_;
    // The line opened last is connecting; it was opened again by itself
    // after its device was lost.
    bool awaiting_connection_ = false;
    bool reconnecting_ = false;
    // When the line was last opened or connected.
    uint32_t connected_at_ = 0;
    // Network lines cut off one after the other right after connecting.
    int early_cuts_ = 0;

    // The command on the line, whether its answer has been applied, and
    // when it was first sent.
    std::optional<Pending> in_flight_;
    std::optional<int> awaited_;
    bool answered_ = false;
    uint32_t sent_at_ = 0;
    std::vector<Pending> queued_;
    std::vector<Choice> choices_;
};

}  // namespace plenvo
