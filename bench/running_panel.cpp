#include "running_panel.h"

#include <QCoreApplication>

#include "wire/protocol.h"

namespace plenvo::bench {

namespace {

constexpr int kAdjElement = 15;
constexpr int kVideoElement = 16;

}  // namespace

RunningPanel::RunningPanel(SerialControl* line) : line_(line ? line : &serial_)
{
    state = DeviceState{};
    shell = ShellState{};
    frm_ = std::make_unique<FrmMain>(platform_, *line_, SettingsFile(folder_.filePath(kSettingsFileName)));
    frm_->Form_Load(false);
    if (!line) {
        serial_.receive(protocol::Frame{'P', 'W', 1});
        frm_->link().timRx_Timer();
    }
    for (int element : {kAdjElement, kVideoElement})
        frm_->img_btn(element)->on_press(element);
}

RunningPanel::~RunningPanel()
{
    frm_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool RunningPanel::ready_for(benchmark::State& st) const
{
    const bool ready = state.port_ok && state.power_state == 1 && state.adj_open && state.video_open &&
                       frm_->frm_adj() && frm_->frm_video();
    if (!ready)
        st.SkipWithError("the panel did not start with the unit on and both companions open");
    return ready;
}

}  // namespace plenvo::bench
