// A USB adapter pulled out and plugged in again while the panel runs: from
// the moment the device is back until the windows show the unit's state as
// it is now, changed meanwhile at its own front panel. Goal: 3 s.

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "lines/network_line.h"
#include "lines/qt_serial_control.h"
#include "running_panel.h"
#include "sim/device_link.h"
#include "sim/pty_line.h"
#include "unit_on_line.h"

namespace plenvo::bench {

namespace {

constexpr double kLineGivesUpSeconds = 10.0;

// Runs the event loop until `done` holds; false when it never did.
template <typename Condition>
bool run_until(Condition done)
{
    const Clock::time_point began = Clock::now();
    while (!done()) {
        if (seconds_since(began) > kLineGivesUpSeconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

// The unit behind a fixed device name, as a by-id path stays the same
// whichever pseudo-terminal is behind it.
struct PluggedUnit {
    std::unique_ptr<UnitOnLine> unit;
    std::unique_ptr<sim::DeviceLink> name;
};

PluggedUnit plug_in(const std::string& path, int16_t output, std::string& error)
{
    std::unique_ptr<sim::PtyLine> pty = sim::PtyLine::open(error);
    if (!pty)
        return {};
    auto unit = std::make_unique<UnitOnLine>(std::move(pty));
    unit->unit.report({'O', 'U', uint8_t(output)});
    std::unique_ptr<sim::DeviceLink> name = sim::DeviceLink::make(path, unit->device(), error);
    return {std::move(unit), std::move(name)};
}

void BM_ReplugToStateShown(benchmark::State& st)
{
    QTemporaryDir folder;
    const std::string path = folder.filePath(QStringLiteral("unit")).toStdString();
    std::string error;
    PluggedUnit plugged = plug_in(path, 0, error);
    if (!plugged.name) {
        st.SkipWithError(error.c_str());
        return;
    }
    QtSerialControl line([&path](int) { return QString::fromStdString(path); }, make_network_line);
    RunningPanel panel(&line);
    if (!panel.ready_for(st))
        return;

    int16_t output = 0;
    for (auto _ : st) {
        plugged = {};
        const DeviceState& state = panel.model().state();
        if (!run_until([&state] { return !state.port_ok; })) {
            st.SkipWithError("the pulled adapter was not noticed");
            return;
        }
        output = int16_t(output == 6 ? 2 : 6);
        plugged = plug_in(path, output, error);
        if (!plugged.name) {
            st.SkipWithError(error.c_str());
            return;
        }
        const Clock::time_point back = Clock::now();
        if (!run_until([&state, output] { return state.port_ok && state.output_format == output; })) {
            st.SkipWithError("the unit's state was not shown once it was back");
            return;
        }
        st.SetIterationTime(seconds_since(back));
    }
}

}  // namespace

BENCHMARK(BM_ReplugToStateShown)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace plenvo::bench
