#pragma once

#include <QTimer>

#include <chrono>
#include <deque>
#include <span>
#include <vector>

#include "sim/flood.h"
#include "sim/frame_log.h"
#include "sim/front_panel.h"
#include "sim/line.h"
#include "sim/unit.h"

namespace plenvo::sim {

// What can be made to go wrong with the unit's answers, to see how the
// panel copes.
struct Faults {
    bool mute = false;                    // no answers at all
    std::chrono::milliseconds delay{0};   // every answer this late, in order
    int drop_every = 0;                   // every Nth answer lost; 0: none
};

// The simulated unit at work: answers the panel on the line, takes the
// operator's front-panel commands and logs the traffic.
class Simulator {
public:
    Simulator(Line& line, FrameLog& log, Faults faults);

    // Carries out one front-panel command; false when it was "quit".
    bool obey(const PanelCommand& command);

private:
    using Clock = std::chrono::steady_clock;

    struct DelayedAnswer {
        Clock::time_point due;
        std::vector<protocol::Frame> frames;
    };

    void receive(std::span<const uint8_t> bytes);
    void carry_out(const protocol::Frame& command);
    bool drops_this_answer();
    void send_later(std::vector<protocol::Frame> frames);
    void send_due_answers();
    void transmit(const protocol::Frame& frame);
    void send_report(const protocol::Frame& frame);
    void send_stray_byte(uint8_t byte);
    void show_state() const;
    void start_flood(double seconds);
    void send_flood_batch();

    Line& line_;
    FrameLog& log_;
    Faults faults_;
    Unit unit_;
    CommandAssembler assembler_;
    int answers_since_drop_ = 0;

    std::deque<DelayedAnswer> delayed_;
    QTimer delay_timer_;

    ReportGenerator flood_reports_;
    QTimer flood_timer_;
    int flood_batches_left_ = 0;
    int flood_frames_sent_ = 0;
};

}  // namespace plenvo::sim
