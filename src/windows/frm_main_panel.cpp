// The main panel's buttons and its input, bypass and output indicators.

#include <QString>

#include "windows/frm_adj.h"
#include "windows/frm_main.h"
#include "wire/protocol.h"
#include "windows/frm_video.h"

namespace plenvo {

namespace {

using protocol::MainElement;

constexpr int kPowerElement = 0;
constexpr int kAdjElement = 15;
constexpr int kVideoElement = 16;

// The unit's function buttons and the port buttons, which a click disables
// until it is done so that no second action starts meanwhile.
constexpr int kUnitElements[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 19, 20};

QByteArray picture(const char* family, const char* state_suffix)
{
    return QByteArray(family) + '_' + state_suffix;
}

}  // namespace

void FrmMain::img_btn_MouseDown(int Index, int, int, float, float)
{
    const protocol::MainButton* button = protocol::find_main_button(Index);

    for (int element : kUnitElements)
        img_btn(element)->setEnabled(false);
    platform().yield();
    if (state.port_ok)
        set_message(QString());

    const MainElement kind = button ? button->kind : MainElement::None;
    switch (kind) {
    case MainElement::Power: power_click(); break;
    case MainElement::Adj: toggle_adj(); break;
    case MainElement::Video: toggle_video(); break;
    case MainElement::Com1: com_click(1); break;
    case MainElement::Com2: com_click(2); break;
    case MainElement::Minimise: minimise(); break;
    case MainElement::Exit: unload_main(); return;
    case MainElement::Input:
        if (state.power_state != 0 && state.port_ok)
            input_click(button->code);
        break;
    case MainElement::Output:
        if (state.power_state != 0 && state.port_ok)
            output_click(button->code);
        break;
    case MainElement::None: break;
    }

    for (int element : kUnitElements)
        if (element != protocol::kBypassElement)
            img_btn(element)->setEnabled(true);
    img_btn(protocol::kBypassElement)->setEnabled(state.bypass_enabled == 1);
    platform().yield();
}

void FrmMain::power_click()
{
    if (!state.port_ok)
        return;
    if (state.user_action)
        state.power_state = state.power_state == 0 ? 1 : 0;

    if (state.power_state == 0) {
        img_btn(kPowerElement)->show_picture("power_off");
        in_on_off(protocol::kNoCode, false);
        out_on_off(protocol::kNoCode, false);
        adj_on_off(false);
        video_on_off(false);
    } else {
        img_btn(kPowerElement)->show_picture("power_on");
        in_on_off(state.input_source, false);
        out_on_off(state.output_format, false);
        adj_on_off(true);
        video_on_off(true);
        // A reported power-on leaves the bypass button as the input
        // indicators drew it.
        if (state.user_action) {
            SkinButton* bypass = img_btn(protocol::kBypassElement);
            bypass->show_picture(state.bypass_enabled != 0 ? "bypass_off" : "bypass_disable");
            bypass->setEnabled(state.bypass_enabled != 0);
        }
    }

    if (state.user_action)
        tx_cmd(protocol::kPW.first, protocol::kPW.second, state.power_state, state.tx_result);
}

void FrmMain::input_click(int code)
{
    if (!state.user_action) {
        // A reported bypass that is not allowed is not shown.
        if (state.bypass_enabled != 0 || state.input_source != protocol::kBypassInput)
            in_on_off(state.input_source, false);
        return;
    }
    state.input_source = int16_t(code);
    in_on_off(state.input_source, true);
    tx_cmd(protocol::kIN.first, protocol::kIN.second, state.input_source, state.tx_result);
}

void FrmMain::output_click(int code)
{
    if (!state.user_action) {
        out_on_off(state.output_format, false);
        return;
    }
    if (code == state.output_format && !unconfirmed(protocol::kOU))
        return;
    state.output_format = int16_t(code);
    out_on_off(state.output_format, true);
    tx_cmd(protocol::kOU.first, protocol::kOU.second, state.output_format, state.tx_result);
}

template <typename Window>
void FrmMain::set_companion_open(bool open, bool& open_flag, QPointer<Window>& window, int element,
                                 const char* family)
{
    open_flag = open;
    img_btn(element)->show_picture(picture(family, open ? "on" : "off"));
    if (open) {
        // Built afresh from its design each time it opens.
        window = new Window(*this);
        window->Form_Load();
        if (window)
            window->show();
    } else if (window) {
        window->unload();
    }
}

void FrmMain::toggle_adj()
{
    set_companion_open(!state.adj_open, state.adj_open, adj_, kAdjElement, "adj");
}

void FrmMain::toggle_video()
{
    set_companion_open(!state.video_open, state.video_open, video_, kVideoElement, "video");
}

void FrmMain::com_click(int16_t port)
{
    state.com_port = port;
    // The unit may have changed while the port was closed or elsewhere: the
    // model asks it for its state.
    open_port([&] { return model_.choose_port(port), model_.port_ok(); });
    show_port_indicator();
}

void FrmMain::minimise()
{
    set_companion_open(false, state.adj_open, adj_, kAdjElement, "adj");
    set_companion_open(false, state.video_open, video_, kVideoElement, "video");
    showMinimized();
}

void FrmMain::in_on_off(int16_t now_in, bool)
{
    for (size_t code = 0; code < protocol::kInputIndicators.size(); ++code) {
        const protocol::Indicator& indicator = protocol::kInputIndicators[code];
        const bool unavailable = indicator.element == protocol::kBypassElement && state.bypass_enabled == 0;
        img_btn(indicator.element)->show_picture(picture(indicator.family, unavailable ? "disable" : "off"));
    }
    if (now_in >= 0 && now_in < int(protocol::kInputIndicators.size())) {
        const protocol::Indicator& lit = protocol::kInputIndicators[size_t(now_in)];
        img_btn(lit.element)->show_picture(picture(lit.family, "on"));
    }
}

void FrmMain::proc_pc_bypass()
{
    SkinButton* bypass = img_btn(protocol::kBypassElement);
    if (state.bypass_enabled == 0) {
        // The selection falls back from the bypass to the PC input the
        // bypass passes through; the unit does the same on its own.
        if (state.input_source == protocol::kBypassInput)
            state.input_source = 3;
        in_on_off(state.input_source, false);
        bypass->show_picture("bypass_disable");
        bypass->setEnabled(false);
    } else {
        in_on_off(state.input_source, false);
        bypass->show_picture("bypass_off");
        bypass->setEnabled(true);
    }
}

void FrmMain::out_on_off(int16_t code, bool)
{
    // Unlit first, in the panel's order of the elements.
    for (const protocol::MainButton& button : protocol::kMainButtons)
        if (button.kind == MainElement::Output)
            img_btn(button.index)->show_picture(picture(protocol::kOutputIndicators[size_t(button.code)].family, "off"));
    if (code >= 0 && code < int(protocol::kOutputIndicators.size())) {
        const protocol::Indicator& lit = protocol::kOutputIndicators[size_t(code)];
        img_btn(lit.element)->show_picture(picture(lit.family, "on"));
    }
}

}  // namespace plenvo
