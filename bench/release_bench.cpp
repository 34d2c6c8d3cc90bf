// A slider dragged faster than the unit answers, from letting go of it
// until the unit holds the value where it was let go. The unit answers at
// once; the commands of the drag are still on the line at the release.
// Goal: 0.3 s.

#include <QCoreApplication>
#include <QScrollBar>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <optional>

#include "running_panel.h"
#include "sim/unit.h"
#include "windows/frm_video.h"

namespace plenvo::bench {

namespace {

constexpr int kBright = 0;
constexpr int kMoves = 8;
constexpr int kMoveApartMs = 30;

void BM_ReleaseToUnit(benchmark::State& st)
{
    RunningPanel panel;
    if (!panel.ready_for(st))
        return;
    FrmVideo& video = *panel.frm().frm_video();
    QScrollBar& bar = *video.hsr_video(kBright);
    sim::Unit unit;
    panel.serial().on_frame = [&](const protocol::Frame& command) {
        for (const protocol::Frame& reply : unit.answer(command))
            panel.serial().receive(reply);
    };

    int from = 10;
    for (auto _ : st) {
        const int let_go_at = from + 2 * kMoves;
        std::optional<Clock::time_point> released;
        for (int step = 1; step <= kMoves; ++step)
            QTimer::singleShot(kMoveApartMs * step, [&, step] {
                bar.setSliderPosition(from + 2 * step);
                video.hsr_video_Scroll(kBright);
            });
        QTimer::singleShot(kMoveApartMs * (kMoves + 1), [&] {
            released = Clock::now();
            bar.setValue(let_go_at);
        });
        const Clock::time_point began = Clock::now();
        while (!(released && unit.state().video_br == let_go_at) && seconds_since(began) < kGiveUpSeconds)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        if (!released || unit.state().video_br != let_go_at) {
            st.SkipWithError("the unit did not get the value where the slider was let go");
            return;
        }
        st.SetIterationTime(seconds_since(*released));
        // Let the last answers in before the next drag, the other way round.
        panel.run_until_idle();
        from = from == 10 ? 40 : 10;
    }
}

}  // namespace

BENCHMARK(BM_ReleaseToUnit)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace plenvo::bench
