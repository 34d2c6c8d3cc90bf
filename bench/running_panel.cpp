#include "running_panel.h"

#include <QCoreApplication>

#include "windows/window_tables.h"
#include "wire/protocol.h"

namespace plenvo::bench {

RunningPanel::RunningPanel(SerialControl* line) : line_(line ? line : &serial_)
{
    model_ = std::make_unique<UnitModel>(platform_, *line_);
    frm_ = std::make_unique<FrmMain>(platform_, *model_, SettingsFile(folder_.filePath(kSettingsFileName)));
    frm_->Form_Load(false);
    if (!line) {
        serial_.receive(protocol::Frame{'P', 'W', 1});
        model_->link().timRx_Timer();
    }
    // The unit's answers to the start-up's state request are in.
    run_until_idle();
    run_until([this] { return model_->state().power_state == 1; }, 2.0);
    for (int element : {tables::kAdjElement, tables::kVideoElement})
        frm_->img_btn(element)->on_press(element);
}

RunningPanel::~RunningPanel()
{
    frm_.reset();
    model_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool RunningPanel::run_until(const std::function<bool()>& done, double give_up_seconds)
{
    const Clock::time_point began = Clock::now();
    while (!done()) {
        if (seconds_since(began) > give_up_seconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

bool RunningPanel::run_until_idle(double give_up_seconds)
{
    return run_until([this] { return model_->idle() && !frm_->command_waiting(); }, give_up_seconds);
}

bool RunningPanel::ready_for(benchmark::State& st) const
{
    const DeviceState& state = model_->state();
    const bool ready = state.port_ok && state.power_state == 1 && frm_->frm_adj() && frm_->frm_video();
    if (!ready)
        st.SkipWithError("the panel did not start with the unit on and both companions open");
    return ready;
}

}  // namespace plenvo::bench
