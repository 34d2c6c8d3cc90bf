// What the unit model tells the windows: a choice from any door, a frame
// the unit reported, the port and the message line.

#include <QString>

#include <cstdio>

#include "windows/frm_adj.h"
#include "windows/frm_main.h"
#include "windows/frm_video.h"
#include "windows/window_tables.h"

namespace plenvo {

namespace {

bool same_letters(const protocol::Command& a, const protocol::Command& b)
{
    return a.first == b.first && a.second == b.second;
}

struct PortButton {
    int port;
    int element;
    const char* family;
};

constexpr PortButton kPortButtons[] = {
    {1, tables::kCom1Element, "com1"},
    {2, tables::kCom2Element, "com2"},
};

}  // namespace

// A choice, stored and about to be sent, drawn as the user's click draws
// it, whichever door it came from. A click here has cleared the message
// line already; another door's choice clears it as that click would.
void FrmMain::show_choice(const protocol::Command& command, Door by)
{
    const DeviceState& state = model_.state();
    const bool main_setting = same_letters(command, protocol::kPW) || same_letters(command, protocol::kIN) ||
                              same_letters(command, protocol::kOU);
    const int adj_group = tables::adj_group_of(command);
    if (by != Door::Windows && (main_setting || (adj_group >= 0 && adj_)) && state.port_ok)
        set_message(QString());

    if (same_letters(command, protocol::kPW)) {
        draw_power(true);
    } else if (same_letters(command, protocol::kIN)) {
        in_on_off(state.input_source, true);
    } else if (same_letters(command, protocol::kOU)) {
        out_on_off(state.output_format, true);
    } else if (adj_group >= 0) {
        // The main panel's bypass button follows the permission first.
        if (adj_group == tables::kAdjBypassGroup)
            proc_pc_bypass();
        adj_on_off(true);
    } else if (const int slider = tables::video_slider_of(command); slider >= 0) {
        if (video_)
            video_->show_setting(slider);
    } else if (same_letters(command, protocol::kRE) && video_) {
        for (int i = 0; i < int(tables::kVideoCommands.size()); ++i)
            video_->show_setting(i);
    }
}

// A frame the unit reported, stored already, shown on the windows it
// belongs to; nothing is sent.
void FrmMain::show_report(int code)
{
    const tables::MirrorCall call = tables::mirror_call(code, model_.state(), {adj_ != nullptr, video_ != nullptr});
    switch (call.target) {
    case tables::MirrorTarget::None: break;
    case tables::MirrorTarget::MainPanel: show_report_on_panel(call.index); break;
    case tables::MirrorTarget::Adjustment:
        if (model_.port_ok())
            set_message(QString());
        if (tables::find_adj_button(call.index)->group == tables::kAdjBypassGroup)
            proc_pc_bypass();
        adj_on_off(true);
        break;
    case tables::MirrorTarget::PcBypass: proc_pc_bypass(); break;
    case tables::MirrorTarget::VideoScroll: video_on_off(true); break;
    // The reset button shows no report: the unit reports the levels it
    // restored one by one.
    case tables::MirrorTarget::VideoReset: break;
    }
}

// A power, input or output report, drawn as the panel's handler draws
// it. The buttons take presses again afterwards, unless a command a press
// started is still waiting.
void FrmMain::show_report_on_panel(int Index)
{
    const tables::MainButton* button = tables::find_main_button(Index);
    const DeviceState& state = model_.state();
    if (state.port_ok)
        set_message(QString());
    const bool unit_on = state.power_state != 0 && state.port_ok;
    switch (button ? button->kind : tables::MainElement::None) {
    case tables::MainElement::Power:
        if (state.port_ok)
            draw_power(false);
        break;
    case tables::MainElement::Input:
        // A reported bypass that is not allowed is not shown.
        if (unit_on && (state.bypass_enabled != 0 || state.input_source != protocol::kBypassInput))
            in_on_off(state.input_source, false);
        break;
    case tables::MainElement::Output:
        if (unit_on)
            out_on_off(state.output_format, false);
        break;
    default: break;
    }
    if (!command_waiting())
        enable_unit_buttons();
}

void FrmMain::show_port_indicator()
{
    const int port = model_.port();
    for (const PortButton& button : kPortButtons) {
        const char* state = button.port != port ? "_off" : model_.port_ok() ? "_on" : "_err";
        SkinButton& element = *img_btn(button.element);
        element.show_picture(QByteArray(button.family) + state);
        const QString name = element.accessibleName();
        const QString problem = model_.line_problem(button.port);
        element.setToolTip(problem.isEmpty() ? name : name + QStringLiteral(": ") + problem);
    }
}

void FrmMain::show_port_failure(int port, const QString& reason)
{
    const QByteArray line = QStringLiteral("plenvo: COM%1: %2\n").arg(port).arg(reason).toLocal8Bit();
    std::fputs(line.constData(), stderr);
}

}  // namespace plenvo
