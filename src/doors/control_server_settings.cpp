// A setting asked for by a client, applied by the panel as the user would
// apply it: through the handler of the window that shows it (state, redraw,
// frame), under the panel's own rules.

#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>
#include <array>

#include "windows/frm_adj.h"
#include "doors/control_server.h"
#include "windows/frm_main.h"
#include "control/status.h"
#include "windows/frm_video.h"

namespace plenvo {

namespace {

using control::Assignment;

constexpr int kPowerElement = 0;

bool same_letters(const protocol::Command& a, const protocol::Command& b)
{
    return a.first == b.first && a.second == b.second;
}

void send(FrmMain& frm, const protocol::Command& command, int value)
{
    frm.tx_cmd(uint8_t(command.first), uint8_t(command.second), value, state.tx_result);
}

// With its window closed a setting takes the path of the window's handler
// all the same: stored, shown where it shows (the bypass button), sent. A
// value the unit already holds is not sent again.
void store_and_send(FrmMain& frm, const Assignment& a)
{
    const protocol::Command& command = a.setting->command;
    int16_t& stored = state.*(command.field);
    if (stored == a.value && !frm.unconfirmed(command))
        return;
    stored = a.value;
    if (same_letters(command, protocol::kBY))
        frm.proc_pc_bypass();
    send(frm, command, stored);
}

// The power button switches over: pressed only when the value differs.
void press_power(FrmMain& frm, const Assignment& a)
{
    if (state.power_state != a.value)
        frm.as_user([&] { frm.img_btn_MouseDown(kPowerElement); });
    else
        store_and_send(frm, a);
}

void press_input(FrmMain& frm, const Assignment& a)
{
    const int element = protocol::kInputIndicators[size_t(a.value)].element;
    frm.as_user([&] { frm.img_btn_MouseDown(element); });
}

void press_output(FrmMain& frm, const Assignment& a)
{
    const int element = protocol::kOutputIndicators[size_t(a.value)].element;
    frm.as_user([&] { frm.img_btn_MouseDown(element); });
}

void press_adjustment(FrmMain& frm, const Assignment& a)
{
    FrmAdj* adj = frm.frm_adj();
    if (!state.adj_open || !adj || adj->unloaded()) {
        store_and_send(frm, a);
        return;
    }
    const auto button = std::find_if(protocol::kAdjButtons.begin(), protocol::kAdjButtons.end(),
                                     [&](const protocol::AdjButton& b) {
                                         return same_letters(protocol::kAdjGroups[size_t(b.group)].command,
                                                             a.setting->command) &&
                                                b.value == a.value;
                                     });
    frm.as_user([&] { adj->img_btn_MouseDown(button->index); });
}

// The slider is put at the value, as an arrow or the track would, and its
// change handler sends it.
void move_slider(FrmMain& frm, const Assignment& a)
{
    FrmVideo* video = frm.frm_video();
    if (!state.video_open || !video || video->unloaded()) {
        store_and_send(frm, a);
        return;
    }
    const auto command = std::find_if(protocol::kVideoCommands.begin(), protocol::kVideoCommands.end(),
                                      [&](const protocol::Command& c) { return same_letters(c, a.setting->command); });
    const int index = int(command - protocol::kVideoCommands.begin());
    {
        const QSignalBlocker quiet(video->hsr_video(index));
        video->hsr_video(index)->setValue(a.value);
    }
    frm.as_user([&] { video->hsr_video_Change(index); });
}

struct Route {
    protocol::Command command;
    void (*apply)(FrmMain& frm, const Assignment& a);
};

// How the panel applies each setting.
constexpr std::array kRoutes{
    Route{protocol::kPW, press_power},      Route{protocol::kIN, press_input},
    Route{protocol::kOU, press_output},     Route{protocol::kBY, press_adjustment},
    Route{protocol::kDI, press_adjustment}, Route{protocol::kAS, press_adjustment},
    Route{protocol::kIR, press_adjustment}, Route{protocol::kFP, press_adjustment},
    Route{protocol::kTD, press_adjustment}, Route{protocol::kNR, press_adjustment},
    Route{protocol::kOS, press_adjustment}, Route{protocol::kBL, press_adjustment},
    Route{protocol::kFR, press_adjustment}, Route{protocol::kBR, move_slider},
    Route{protocol::kCO, move_slider},      Route{protocol::kSA, move_slider},
    Route{protocol::kSH, move_slider},      Route{protocol::kTI, move_slider},
    Route{protocol::kVO, move_slider},
};

}  // namespace

std::string ControlServer::line_trouble() const
{
    const QString problem = frm_.link().line_problem(state.com_port);
    if (state.port_ok && problem.isEmpty())
        return {};
    const QString reason = problem.isEmpty() ? QStringLiteral("the port is not open") : problem;
    return QStringLiteral("COM%1: %2").arg(state.com_port).arg(reason).toStdString();
}

// What the panel's own rules say against the setting now, as the user would
// find it: port buttons that cannot work, windows dark with the power off, a
// bypass button disabled.
std::string ControlServer::refusal(const Assignment& assignment) const
{
    const protocol::Command& command = assignment.setting->command;
    if (!state.port_ok)
        return line_trouble();
    if (!same_letters(command, protocol::kPW) && state.power_state != 1)
        return "the power is off: only power can be set";
    if (same_letters(command, protocol::kIN) && assignment.value == protocol::kBypassInput &&
        state.bypass_enabled != 1)
        return "input bypass needs bypass on";
    return {};
}

void ControlServer::apply(const Assignment& assignment)
{
    const auto route = std::find_if(kRoutes.begin(), kRoutes.end(), [&](const Route& r) {
        return same_letters(r.command, assignment.setting->command);
    });
    route->apply(frm_, assignment);
}

// Whether the unit holds the setting now: the panel shows it and has the
// unit's answer.
std::string ControlServer::outcome(const Assignment& assignment) const
{
    const std::string asked = control::setting_text(*assignment.setting, assignment.value);
    if (!state.port_ok)
        return "not sent: " + asked + " (" + line_trouble() + ")";
    if (frm_.unconfirmed(assignment.setting->command))
        return "the unit did not answer " + asked;
    const int16_t now = control::read(*assignment.setting, state);
    if (now != assignment.value)
        return "the unit reports " + control::setting_text(*assignment.setting, now) + " after " + asked;
    return {};
}

}  // namespace plenvo
