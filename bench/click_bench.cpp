// A press on an output indicator until its command frame has been handed
// to the port: the path of a user's click through the main panel handler,
// the model, the redraw of the output group and the command transmission.
// The unit's answer that follows is not counted. Goal: 2 ms.

#include <QCoreApplication>
#include <QMouseEvent>

#include <benchmark/benchmark.h>

#include <optional>

#include "lines/network_line.h"
#include "lines/qt_serial_control.h"
#include "running_panel.h"
#include "sim/tcp_line.h"
#include "sim/unit.h"
#include "unit_on_line.h"

namespace plenvo::bench {

namespace {

// 720P and VGA, pressed in turn so that every press changes the output.
constexpr int k720pElement = 12;
constexpr int kVgaElement = 5;

// A left-button press and release on the middle of the widget, delivered
// the way the window system's events are.
void click(QWidget& widget)
{
    const QPointF at(widget.width() / 2.0, widget.height() / 2.0);
    const QPointF global = widget.mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &release);
}

// Presses 720P and VGA in turn; each iteration's time is from the press
// until `reached`, which the line sets (from `pressed`) when the frame got
// where it is measured to.
void time_presses(benchmark::State& st, RunningPanel& panel, Clock::time_point& pressed,
                  std::optional<double>& reached)
{
    int element = k720pElement;
    for (auto _ : st) {
        reached.reset();
        pressed = Clock::now();
        click(*panel.frm().img_btn(element));
        // A frame on a network line arrives once the event loop runs; the
        // line tells when.
        RunningPanel::run_until([&reached] { return reached.has_value(); }, 2.0);
        if (!reached) {
            st.SkipWithError("the press sent no frame");
            return;
        }
        st.SetIterationTime(*reached);
        // The answer comes in and the line is free before the next press.
        if (!panel.run_until_idle()) {
            st.SkipWithError("the command did not end");
            return;
        }
        element = element == k720pElement ? kVgaElement : k720pElement;
    }
    if (!panel.frm().message().isEmpty())
        st.SkipWithError("a command failed");
}

void BM_ClickToWire(benchmark::State& st)
{
    RunningPanel panel;
    if (!panel.ready_for(st))
        return;
    // The unit answers at once; the panel's poll takes the answer during
    // the wait that follows the hand-over.
    sim::Unit unit;
    Clock::time_point pressed;
    std::optional<double> handed_over;
    panel.serial().on_frame = [&](const protocol::Frame& command) {
        if (!handed_over)
            handed_over = seconds_since(pressed);
        for (const protocol::Frame& reply : unit.answer(command))
            panel.serial().receive(reply);
    };

    time_presses(st, panel, pressed, handed_over);
}

// The same press, until its frame has reached a unit served on a loopback
// TCP port (socket://): the network line's own cost included. Goal: 2 ms.
void BM_ClickToWireNetwork(benchmark::State& st)
{
    std::string error;
    std::unique_ptr<sim::TcpLine> tcp = sim::TcpLine::open("127.0.0.1:0", error);
    if (!tcp) {
        st.SkipWithError(error.c_str());
        return;
    }
    const QString device = QString::fromStdString(tcp->device());
    UnitOnLine unit(std::move(tcp));
    QtSerialControl line([device](int) { return device; }, make_network_line);
    RunningPanel panel(&line);
    if (!panel.ready_for(st))
        return;
    Clock::time_point pressed;
    std::optional<double> arrived;
    unit.on_command = [&](const protocol::Frame&) {
        if (!arrived)
            arrived = seconds_since(pressed);
    };

    time_presses(st, panel, pressed, arrived);
}

}  // namespace

// Each press is followed by the 0.2 s its command takes on the line: a
// fixed count keeps the run short.
BENCHMARK(BM_ClickToWire)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClickToWireNetwork)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);

}  // namespace plenvo::bench
