// One receive poll that brings a full 100 ms of line traffic: 32 reports
// of every kind (power, input, output, adjustment, video), each parsed and
// shown with the power on and both companion windows open. At 9600 baud
// this is the most a poll ever gets; it should cost at most 5 % of the
// poll period.

#include <benchmark/benchmark.h>

#include <vector>

#include "running_panel.h"
#include "sim/flood.h"
#include "sim/unit.h"

namespace plenvo::bench {

namespace {

constexpr double kPollPeriodSeconds = 0.1;
// Distinct polls cycled through, so that the shown values keep changing.
constexpr int kPollsInCycle = 64;
constexpr unsigned kSeed = 1;

// The unit's flood reports, one line-full a poll.
std::vector<QByteArray> line_full_polls(sim::Unit& unit)
{
    sim::ReportGenerator reports(kSeed);
    std::vector<QByteArray> polls(kPollsInCycle);
    for (QByteArray& poll : polls) {
        for (int i = 0; i < sim::kFloodFramesPerBatch; ++i) {
            const protocol::Frame frame = reports.next();
            unit.report(frame);
            poll.append(reinterpret_cast<const char*>(&frame), protocol::kFrameSize);
        }
    }
    return polls;
}

bool same_settings(const DeviceState& a, const DeviceState& b)
{
    for (const protocol::Command& setting : protocol::kStateReportOrder)
        if (a.*(setting.field) != b.*(setting.field))
            return false;
    return true;
}

void BM_FullPoll(benchmark::State& st)
{
    RunningPanel panel;
    if (!panel.ready_for(st))
        return;
    // Holds what the panel must show after the last poll of the cycle.
    sim::Unit unit;
    const std::vector<QByteArray> polls = line_full_polls(unit);

    double total = 0;
    size_t next = 0;
    for (auto _ : st) {
        panel.serial().receive(polls[next]);
        next = (next + 1) % polls.size();
        const Clock::time_point start = Clock::now();
        panel.model().link().timRx_Timer();
        const double taken = seconds_since(start);
        st.SetIterationTime(taken);
        total += taken;
    }
    // Every frame of the cycle must have been applied, or the figure means nothing.
    for (; next != 0; next = (next + 1) % polls.size())
        panel.serial().receive(polls[next]);
    panel.model().link().timRx_Timer();
    if (!same_settings(panel.model().state(), unit.state()))
        st.SkipWithError("the polls did not apply every report");

    st.counters["frames"] = sim::kFloodFramesPerBatch;
    st.counters["share_of_period"] = total / double(st.iterations()) / kPollPeriodSeconds;
}

}  // namespace

BENCHMARK(BM_FullPoll)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace plenvo::bench
