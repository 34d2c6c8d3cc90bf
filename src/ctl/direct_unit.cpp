#include "ctl/direct_unit.h"

#include <QMetaObject>

#include <cstdio>
#include <span>

#include "control/status.h"

namespace plenvo::ctl {

namespace {

// Without windows to redraw the line is read as soon as bytes come: the
// state's 19 reports take 65 ms on the line.
constexpr int kPollMs = 5;
// The reports of a unit that answers are all in long before this.
constexpr int kStateMs = 1500;
constexpr int kPort = 1;

}  // namespace

DirectUnit::DirectUnit(Platform& platform, SerialControl& serial, QString device)
    : device_(std::move(device)), model_(platform, serial), timState_(platform.make_timer(kStateMs))
{
    model_.link().timRx().set_interval(kPollMs);
    timState_->on_tick = [this] { state_read(); };
    QObject::connect(&model_, &UnitModel::frame_applied, &model_,
                     [this](const protocol::Frame& frame) { frame_applied(frame); });
    QObject::connect(&model_, &UnitModel::reported, &model_, [this](const protocol::Command& command, int value) {
        if (!watch_json_)
            return;
        const protocol::Frame frame{uint8_t(command.first), uint8_t(command.second), uint8_t(value)};
        if (const std::optional<std::string> line = control::watch_line(frame, *watch_json_)) {
            std::fputs((*line + '\n').c_str(), stdout);
            std::fflush(stdout);
        }
    });
    // A lost device is tried again by the link; a watch goes on meanwhile.
    QObject::connect(&model_, &UnitModel::port_failed, &model_, [this](int, const QString& reason) {
        // A network line whose first connection failed is not tried again:
        // the watch ends and says why.
        if (!model_.link().retrying() && watch_ended_)
            std::exchange(watch_ended_, {})(reason.toStdString());
        else if (watch_json_)
            std::fprintf(stderr, "plenvo-ctl: %s\n", qPrintable(reason));
    });
}

DirectUnit::~DirectUnit()
{
    model_.close_port();
}

template <typename Then>
void DirectUnit::later(Then then)
{
    QMetaObject::invokeMethod(&model_, std::move(then), Qt::QueuedConnection);
}

std::string DirectUnit::open()
{
    return model_.open_port(kPort) ? std::string() : trouble();
}

std::string DirectUnit::trouble() const
{
    const QString problem = model_.line_problem(kPort);
    return (problem.isEmpty() ? device_ + QStringLiteral(": the line is closed") : problem).toStdString();
}

void DirectUnit::read_state(bool line_needed_after, StateDone done)
{
    reported_.reset();
    state_done_ = std::move(done);
    close_when_reported_ = !line_needed_after;
    model_.request_state();
    if (!model_.port_ok()) {
        later([this] { state_read(); });
        return;
    }
    timState_->set_enabled(true);
}

void DirectUnit::frame_applied(const protocol::Frame& frame)
{
    if (!state_done_)
        return;
    if (const control::Setting* setting = control::reported_setting(frame))
        reported_.set(size_t(setting - control::kSettings.data()));
    if (!reported_.all())
        return;
    timState_->set_enabled(false);
    if (close_when_reported_)
        // Ends the link's wait for the state request at once.
        model_.close_port();
    later([this] { state_read(); });
}

void DirectUnit::state_read()
{
    timState_->set_enabled(false);
    const StateDone done = std::exchange(state_done_, {});
    if (!done)
        return;
    StateRead read{model_.state(), {}};
    if (reported_.all()) {
        done(read);
        return;
    }
    if (reported_.none() && !model_.port_ok()) {
        read.error = trouble();
        done(read);
        return;
    }
    std::string missing;
    for (size_t i = 0; i < control::kSettings.size(); ++i)
        if (!reported_[i])
            missing += std::string(missing.empty() ? "" : ", ") + control::kSettings[i].name;
    read.error = (reported_.none() ? "the unit did not answer the state request on " + device_.toStdString()
                                   : "the unit did not report " + missing);
    done(read);
}

void DirectUnit::apply(std::vector<control::Assignment> settings, Done done)
{
    settings_ = std::move(settings);
    apply_done_ = std::move(done);
    apply_from(0);
}

// Each setting goes out once the unit has taken the one before.
void DirectUnit::apply_from(size_t index)
{
    if (index == settings_.size()) {
        std::exchange(apply_done_, {})(std::string());
        return;
    }
    const control::Assignment& assignment = settings_[index];
    const protocol::Command& command = assignment.setting->command;
    if (!model_.port_ok()) {
        apply_failed(index, trouble());
        return;
    }
    if (const QString refusal = model_.refusal(command, assignment.value); !refusal.isEmpty()) {
        apply_failed(index, refusal.toStdString());
        return;
    }
    model_.set(command, assignment.value, Door::Control, [this, index](const Outcome& outcome) {
        later([this, index, outcome] {
            if (outcome.ok())
                apply_from(index + 1);
            else if (outcome.kind == Outcome::Kind::Refused && !model_.port_ok())
                apply_failed(index, trouble());
            else
                apply_failed(index, outcome.reason.toStdString());
        });
    });
}

void DirectUnit::apply_failed(size_t index, const std::string& reason)
{
    std::string failure = reason;
    if (index + 1 < settings_.size())
        failure += "; not sent: " + control::assignments_text(std::span(settings_).subspan(index + 1));
    std::exchange(apply_done_, {})(failure);
}

void DirectUnit::watch(bool json, Done ended)
{
    // Until the program is interrupted, or the line cannot be had at all.
    watch_json_ = json;
    watch_ended_ = std::move(ended);
}

}  // namespace plenvo::ctl
