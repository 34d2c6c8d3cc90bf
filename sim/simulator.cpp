#include "sim/simulator.h"

#include <iostream>
#include <random>

namespace plenvo::sim {

namespace {

template <typename... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};

}  // namespace

Simulator::Simulator(Line& line, FrameLog& log, Faults faults)
    : line_(line), log_(log), faults_(faults), flood_reports_(std::random_device{}())
{
    line_.on_received = [this](std::span<const uint8_t> bytes) { receive(bytes); };

    delay_timer_.setSingleShot(true);
    delay_timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&delay_timer_, &QTimer::timeout, [this] { send_due_answers(); });

    flood_timer_.setInterval(kFloodBatchInterval);
    flood_timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&flood_timer_, &QTimer::timeout, [this] { send_flood_batch(); });
}

bool Simulator::obey(const PanelCommand& command)
{
    return std::visit(
        Overloaded{
            [this](const SendReport& send) { send_report(send.frame); return true; },
            [this](const SendByte& send) { send_stray_byte(send.value); return true; },
            [this](const SetMute& mute) { faults_.mute = mute.on; return true; },
            [this](const ShowState&) { show_state(); return true; },
            [this](const StartFlood& flood) { start_flood(flood.seconds); return true; },
            [](const EmptyLine&) { return true; },
            [](const Quit&) { return false; },
        },
        command);
}

void Simulator::receive(std::span<const uint8_t> bytes)
{
    const Clock::time_point arrived = Clock::now();
    for (const uint8_t byte : bytes) {
        if (const auto command = assembler_.push(byte, arrived))
            carry_out(*command);
    }
}

void Simulator::carry_out(const protocol::Frame& command)
{
    log_.frame(Direction::Received, command);
    std::vector<protocol::Frame> answer = unit_.answer(command);
    if (answer.empty() || faults_.mute || drops_this_answer())
        return;
    if (faults_.delay.count() > 0) {
        send_later(std::move(answer));
        return;
    }
    for (const protocol::Frame& frame : answer)
        transmit(frame);
}

bool Simulator::drops_this_answer()
{
    if (faults_.drop_every <= 0 || ++answers_since_drop_ < faults_.drop_every)
        return false;
    answers_since_drop_ = 0;
    return true;
}

void Simulator::send_later(std::vector<protocol::Frame> frames)
{
    delayed_.push_back({Clock::now() + faults_.delay, std::move(frames)});
    if (!delay_timer_.isActive())
        delay_timer_.start(faults_.delay);
}

// Every answer waits the same time, so the queue is in order of due time
// and the answers go out in the order their commands came.
void Simulator::send_due_answers()
{
    const Clock::time_point now = Clock::now();
    while (!delayed_.empty() && delayed_.front().due <= now) {
        for (const protocol::Frame& frame : delayed_.front().frames)
            transmit(frame);
        delayed_.pop_front();
    }
    if (!delayed_.empty())
        delay_timer_.start(std::chrono::ceil<std::chrono::milliseconds>(delayed_.front().due - now));
}

void Simulator::transmit(const protocol::Frame& frame)
{
    const uint8_t bytes[] = {frame.first, frame.second, frame.value};
    line_.write(bytes);
    log_.frame(Direction::Sent, frame);
}

void Simulator::send_report(const protocol::Frame& frame)
{
    unit_.report(frame);
    transmit(frame);
}

void Simulator::send_stray_byte(uint8_t byte)
{
    line_.write(std::span(&byte, 1));
    log_.stray_byte(byte);
}

void Simulator::show_state() const
{
    std::cout << state_line(unit_.state()) << std::endl;
}

// A flood asked for while one runs goes on for the new time from now,
// still counting the frames of the first.
void Simulator::start_flood(double seconds)
{
    flood_batches_left_ = flood_batches(seconds);
    if (flood_timer_.isActive())
        return;
    flood_frames_sent_ = 0;
    flood_timer_.start();
    send_flood_batch();
}

void Simulator::send_flood_batch()
{
    if (flood_batches_left_ == 0) {
        flood_timer_.stop();
        std::cout << "flood done " << flood_frames_sent_ << std::endl;
        return;
    }
    --flood_batches_left_;
    for (int i = 0; i < kFloodFramesPerBatch; ++i)
        send_report(flood_reports_.next());
    flood_frames_sent_ += kFloodFramesPerBatch;
}

}  // namespace plenvo::sim
