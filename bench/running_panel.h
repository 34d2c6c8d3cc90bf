#pragma once

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>

#include "windows/desktop_platform.h"
#include "windows/frm_main.h"
#include "unit/unit_model.h"
#include "bench_clock.h"
#include "support/fake_serial.h"
#include "support/sim_platform.h"

namespace plenvo::bench {

// The main window as the program runs it, on Qt's event loop and timers,
// over the scripted line behind port 1: started, the unit switched on and
// both companion windows open.
class RunningPanel {
public:
    // Over the scripted line, or over `line` when given (a real one).
    explicit RunningPanel(SerialControl* line = nullptr);
    ~RunningPanel();
    RunningPanel(const RunningPanel&) = delete;
    RunningPanel& operator=(const RunningPanel&) = delete;

    // Whether start-up left the panel as described above; if not, the
    // benchmark is marked as failed.
    bool ready_for(benchmark::State& st) const;

    FrmMain& frm() { return *frm_; }
    UnitModel& model() { return *model_; }
    testing::FakeSerial& serial() { return serial_; }
    // Runs Qt's event loop until `done` holds; false after `give_up_seconds`.
    static bool run_until(const std::function<bool()>& done, double give_up_seconds);
    // Until no command is on the line or waiting and the panel's buttons
    // take presses again.
    bool run_until_idle(double give_up_seconds = 3.0);

private:
    QTemporaryDir folder_;
    DesktopPlatform platform_;
    // The scripted line stamps the frames it is given with this clock;
    // nothing else runs on it.
    testing::SimPlatform line_clock_;
    testing::FakeSerial serial_{line_clock_};
    SerialControl* line_;
    std::unique_ptr<UnitModel> model_;
    std::unique_ptr<FrmMain> frm_;
};

}  // namespace plenvo::bench
