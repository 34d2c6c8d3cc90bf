#pragma once

#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "base/platform.h"
#include "unit/link.h"
#include "wire/device_state.h"
#include "wire/protocol.h"

namespace plenvo {

class SerialControl;

// Who asked for a change. The unit's own reports (its front panel, its
// remote, its answers to a state request) come from the unit.
enum class Door { Unit, Windows, Control, Broker, Web };

// How a setting asked for came out, told once to whoever asked.
struct Outcome {
    enum class Kind {
        Done,          // the unit holds the value: it answered or reported it
        NotAnswered,   // the unit answered nothing, or the line broke meanwhile
        Refused,       // not sent: the port cannot work, the power is off, ...
        NotConfirmed,  // the unit answered, but reports another value
        Replaced,      // a later value for the same setting went out instead
    };
    Kind kind = Kind::Done;
    // What and why, for every kind but Done.
    QString reason;
    bool ok() const { return kind == Kind::Done; }
};

// The unit as the program knows it: its state, the line to it and the
// panel's rules about it. The windows and every door ask it for changes and
// show what its signals say; none of them talks to another.
//
// The rules: with the power off only power is taken; the bypass input needs
// the bypass allowed; a value the unit already holds is not sent again
// (except an input, which the unit takes again); while the line is busy the
// latest value per setting wins. The rules go by what the unit has reported:
// before it has reported a setting, the value assumed at start-up neither
// refuses nor holds back anything. A setting counts as set when the unit
// answers it, or, for the six levels, which the unit does not answer, when
// it reports the new value.
class UnitModel final : public QObject, private LinkListener {
    Q_OBJECT
public:
    using OutcomeHandler = std::function<void(const Outcome&)>;

    UnitModel(Platform& platform, SerialControl& serial, QObject* parent = nullptr);
    ~UnitModel() override;

    // What the windows show: the unit's values, or a door's choice on its
    // way to the unit.
    const DeviceState& state() const { return state_; }
    int port() const { return state_.com_port; }
    bool port_ok() const { return state_.port_ok; }
    // What is wrong with a port's line, for its tooltip; empty while all is well.
    QString line_problem(int port) const { return link_.line_problem(port); }
    // The port's trouble as one line, "COM1: why"; empty while all is well.
    QString line_trouble() const;
    // The value chosen for this setting has not been answered by the unit yet.
    bool unconfirmed(const protocol::Command& command) const;
    // No command is on the line or waiting.
    bool idle() const { return link_.idle(); }

    // Why the value cannot be set now, or empty.
    QString refusal(const protocol::Command& command, int value) const;
    // Asks the unit to take the value. It is stored and shown at once
    // (signal `chosen`), then sent; `done`, when given, learns the outcome
    // once.
    void set(const protocol::Command& command, int value, Door from, OutcomeHandler done = {});
    // The unit's own reset of the six levels.
    void reset_levels(Door from, OutcomeHandler done = {});
    // Asks the unit for its whole state.
    void request_state() { link_.request_state(); }
    // A door that passes the unit's reports on as they come (the broker)
    // has them read the moment they arrive rather than at the next poll,
    // from follow_reports() until the matching unfollow_reports().
    void follow_reports() { ++report_followers_; }
    void unfollow_reports() { --report_followers_; }

    // Opens this port alone, without asking the unit for its state.
    bool open_port(int port);
    // Start-up: opens `saved_port`, or once the other port when it cannot
    // work. True when one of them opened. A network line whose connection
    // fails later gives way to the other port then, once, unless a port
    // was chosen meanwhile; the unit is then asked for its state.
    bool open_start_up_port(int saved_port);
    // The user's choice of port, or of its device: opened at once and the
    // unit asked for its state.
    void choose_port(int port);
    void close_port()
    {
        start_up_fallback_.reset();
        link_.close_port();
    }

    // For tests and benchmarks that drive the line's timers themselves.
    Link& link() { return link_; }

signals:
    // A door's value was stored, before it is sent.
    void chosen(const plenvo::protocol::Command& command, plenvo::Door by);
    // A frame from the unit was stored; `code` is its reply code.
    void frame_applied(const plenvo::protocol::Frame& frame, int code);
    // The unit holds a value other than the one it held before: it answered
    // `by`'s request, or reported it on its own (Door::Unit).
    void reported(const plenvo::protocol::Command& command, int value, plenvo::Door by);
    // The port opened, closed, failed, was lost or came back, or its unit
    // stopped or started answering: `port_ok` and `line_problem` may differ.
    void port_changed();
    // A port could not be opened or its device went away, and why.
    void port_failed(int port, const QString& reason);
    // A text for the message line; empty clears it.
    void message(const QString& text);

private:
    struct Asked {
        protocol::Command command;
        int value;
        Door from;
    };
    // A level sent for a door: settled by the unit's report of it.
    struct Confirmation {
        uint64_t id;
        protocol::Command command;
        int value;
        OutcomeHandler done;
        uint32_t since;
        bool asked_state;
    };

    void send(const protocol::Command& command, int value, Door from, OutcomeHandler done);
    void sent(const protocol::Command& command, int value, Link::TxResult result, const OutcomeHandler& done);
    void level_sent(uint64_t id, Link::TxResult result);
    void settle_confirmations(const protocol::Command& command, int value);
    void give_up_confirmations();
    void store(const protocol::Command& command, int value);
    void bypass_fallback();
    Door asked_by(const protocol::Command& command, int value);
    bool reported_once(const protocol::Command& command) const;
    QString rule_refusal(const protocol::Command& command, int value) const;

    void link_message(const QString& text) override { emit message(text); }
    void link_port_changed() override;
    void link_port_failed(int port, const QString& reason) override { emit port_failed(port, reason); }
    void link_frame_applied(const protocol::Frame& frame, int code) override;
    bool link_awaits_report() const override { return report_followers_ > 0 || !confirmations_.empty(); }

    Platform& platform_;
    DeviceState state_;
    Link link_;
    // The unit's last reported value of each setting, in report order.
    std::array<std::optional<int>, protocol::kStateReportOrder.size()> unit_values_;
    std::vector<Asked> asked_;
    std::vector<Confirmation> confirmations_;
    int report_followers_ = 0;
    uint64_t last_confirmation_ = 0;
    std::unique_ptr<Timer> timConfirm_;
    // The port start-up tries when the saved one's connection fails.
    std::optional<int> start_up_fallback_;
};

}  // namespace plenvo
