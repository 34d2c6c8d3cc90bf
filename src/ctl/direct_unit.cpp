#include "ctl/direct_unit.h"

#include <QEventLoop>
#include <QTimer>

#include <cstdio>

#include "control/status.h"

namespace plenvo::ctl {

namespace {

// Without windows to redraw the line is read as soon as bytes come: the
// state's 19 reports take 65 ms on the line.
constexpr int kPollMs = 5;
// The reports of a unit that answers are all in long before this.
constexpr int kStateMs = 1500;
constexpr float kIdleWaitSeconds = 2.0f;

}  // namespace

DirectUnit::DirectUnit(QString device)
    : device_(std::move(device)),
      serial_([this](int) { return device_; }),
      link_(platform_, serial_, state_, *this)
{
    link_.timRx().set_interval(kPollMs);
}

DirectUnit::~DirectUnit()
{
    link_.close_port();
}

std::string DirectUnit::open()
{
    state_.com_port = 1;
    return link_.open_port(state_.com_port) ? std::string() : trouble();
}

std::string DirectUnit::trouble() const
{
    const QString problem = link_.line_problem(state_.com_port);
    return (problem.isEmpty() ? device_ + QStringLiteral(": the line is closed") : problem).toStdString();
}

StateRead DirectUnit::read_state(bool line_needed_after)
{
    reported_.reset();
    reading_state_ = true;
    close_when_reported_ = !line_needed_after;
    QElapsedTimer clock;
    clock.start();
    // Returns once its own wait is over, or at once when the last report
    // closed the line.
    link_.request_state();
    if (!all_reported() && state_.port_ok) {
        QEventLoop loop;
        waiting_ = &loop;
        QTimer::singleShot(std::max<qint64>(0, kStateMs - clock.elapsed()), &loop, &QEventLoop::quit);
        loop.exec();
        waiting_ = nullptr;
    }
    reading_state_ = false;

    StateRead read{state_, {}};
    if (all_reported())
        return read;
    if (reported_.none() && !state_.port_ok) {
        read.error = trouble();
        return read;
    }
    std::string missing;
    for (size_t i = 0; i < control::kSettings.size(); ++i)
        if (!reported_[i])
            missing += std::string(missing.empty() ? "" : ", ") + control::kSettings[i].name;
    read.error = (reported_.none() ? "the unit did not answer the state request on " + device_.toStdString()
                                   : "the unit did not report " + missing);
    return read;
}

std::string DirectUnit::apply(std::span<const control::Assignment> settings)
{
    for (size_t i = 0; i < settings.size(); ++i) {
        // An answer of the unit may have asked for its state meanwhile.
        wait_seconds(platform_, kIdleWaitSeconds, [this] { return link_.idle(); });
        const protocol::Frame frame = control::frame_of(settings[i]);
        std::optional<Link::TxResult> result;
        link_.tx_cmd(frame.first, frame.second, frame.value, [&result](Link::TxResult r) { result = r; });
        wait_seconds(platform_, 2.0f, [&result] { return result.has_value(); });
        if (result == Link::TxResult::Answered)
            continue;
        std::string failure = result == Link::TxResult::Refused
                                  ? trouble()
                                  : "the unit did not answer " + control::setting_text(*settings[i].setting, settings[i].value);
        if (i + 1 < settings.size())
            failure += "; not sent: " + control::assignments_text(settings.subspan(i + 1));
        return failure;
    }
    return {};
}

std::string DirectUnit::watch(bool json)
{
    watch_json_ = json;
    QEventLoop loop;
    waiting_ = &loop;
    loop.exec();
    waiting_ = nullptr;
    return trouble();
}

void DirectUnit::link_port_failed(int, const QString& reason)
{
    // A lost device is tried again by the link; a watch goes on meanwhile.
    // A network line whose first connection failed is not: the wait ends
    // and says why.
    if (link_.retrying()) {
        if (watch_json_)
            std::fprintf(stderr, "plenvo-ctl: %s\n", qPrintable(reason));
    } else if (waiting_) {
        waiting_->quit();
    }
}

void DirectUnit::link_frame_applied(const protocol::Frame& frame, int)
{
    if (watch_json_) {
        if (const std::optional<std::string> line = control::watch_line(frame, *watch_json_)) {
            std::fputs((*line + '\n').c_str(), stdout);
            std::fflush(stdout);
        }
        return;
    }
    if (!reading_state_)
        return;
    if (const control::Setting* setting = control::reported_setting(frame))
        reported_.set(size_t(setting - control::kSettings.data()));
    if (!all_reported())
        return;
    if (close_when_reported_)
        // Ends the link's wait for the state request at once.
        link_.close_port();
    if (waiting_)
        waiting_->quit();
}

}  // namespace plenvo::ctl
