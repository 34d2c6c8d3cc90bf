// The main panel's buttons and its input, bypass and output indicators.

#include <QString>

#include "windows/frm_adj.h"
#include "windows/frm_main.h"
#include "windows/frm_video.h"
#include "windows/window_tables.h"

namespace plenvo {

namespace {

using tables::MainElement;

// The unit's function buttons and the port buttons, which take no press
// while the command a press started waits for its outcome.
constexpr int kUnitElements[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 19, 20};

QByteArray picture(const char* family, const char* state_suffix)
{
    return QByteArray(family) + '_' + state_suffix;
}

}  // namespace

FrmAdj* FrmMain::frm_adj() const
{
    return adj_.data();
}

FrmVideo* FrmMain::frm_video() const
{
    return video_.data();
}

void FrmMain::img_btn_MouseDown(int Index)
{
    const tables::MainButton* button = tables::find_main_button(Index);
    const DeviceState& state = model_.state();

    disable_unit_buttons();
    if (state.port_ok)
        set_message(QString());

    const MainElement kind = button ? button->kind : MainElement::None;
    switch (kind) {
    case MainElement::Power: power_click(); break;
    case MainElement::Adj: toggle_adj(); break;
    case MainElement::Video: toggle_video(); break;
    case MainElement::Com1: com_on_off(1); break;
    case MainElement::Com2: com_on_off(2); break;
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

    if (!command_waiting())
        enable_unit_buttons();
}

void FrmMain::disable_unit_buttons()
{
    for (int element : kUnitElements)
        img_btn(element)->setEnabled(false);
}

void FrmMain::enable_unit_buttons()
{
    for (int element : kUnitElements)
        if (element != tables::kBypassElement)
            img_btn(element)->setEnabled(true);
    img_btn(tables::kBypassElement)->setEnabled(model_.state().bypass_enabled == 1);
}

// The model stores and shows the choice (show_choice), then sends it; the
// buttons wait for its outcome.
void FrmMain::ask(const protocol::Command& command, int value)
{
    ++commands_waiting_;
    model_.set(command, value, Door::Windows, [self = QPointer<FrmMain>(this)](const Outcome&) {
        if (self)
            self->command_done();
    });
}

void FrmMain::command_done()
{
    --commands_waiting_;
    // Exit leaves the buttons disabled while the program closes.
    if (!command_waiting() && !form_unloaded_)
        enable_unit_buttons();
}

void FrmMain::power_click()
{
    if (!model_.port_ok())
        return;
    ask(protocol::kPW, model_.state().power_state == 0 ? 1 : 0);
}

void FrmMain::input_click(int code)
{
    ask(protocol::kIN, code);
}

void FrmMain::output_click(int code)
{
    ask(protocol::kOU, code);
}

// The power as the user's click shows it (`as_clicked`), or as a report
// shows it: a reported power-on leaves the bypass button as the input
// indicators drew it.
void FrmMain::draw_power(bool as_clicked)
{
    const DeviceState& state = model_.state();
    if (state.power_state == 0) {
        img_btn(tables::kPowerElement)->show_picture("power_off");
        in_on_off(protocol::kNoCode, false);
        out_on_off(protocol::kNoCode, false);
        adj_on_off(false);
        video_on_off(false);
        return;
    }
    img_btn(tables::kPowerElement)->show_picture("power_on");
    in_on_off(state.input_source, false);
    out_on_off(state.output_format, false);
    adj_on_off(true);
    video_on_off(true);
    if (as_clicked) {
        SkinButton* bypass = img_btn(tables::kBypassElement);
        bypass->show_picture(state.bypass_enabled != 0 ? "bypass_off" : "bypass_disable");
        bypass->setEnabled(state.bypass_enabled != 0);
    }
}

void FrmMain::toggle_adj()
{
    open_adj(!adj_);
}

void FrmMain::toggle_video()
{
    open_video(!video_);
}

void FrmMain::open_adj(bool open)
{
    if (!form_unloaded_)
        img_btn(tables::kAdjElement)->show_picture(open ? "adj_on" : "adj_off");
    if (adj_) {
        group_.remove(*adj_);
        adj_->unload();
        adj_ = nullptr;
    }
    if (!open)
        return;
    // Built afresh from its design each time it opens.
    adj_ = new FrmAdj(model_, group_, this);
    connect(adj_, &FrmAdj::pressed, this, [this] {
        if (model_.port_ok())
            set_message(QString());
    });
    adj_->Form_Load();
    adj_->show();
}

void FrmMain::open_video(bool open)
{
    if (!form_unloaded_)
        img_btn(tables::kVideoElement)->show_picture(open ? "video_on" : "video_off");
    if (video_) {
        group_.remove(*video_);
        video_->unload();
        video_ = nullptr;
    }
    if (!open)
        return;
    video_ = new FrmVideo(model_, group_, this);
    video_->Form_Load();
    video_->show();
}

// Opens the port the user chose: both port buttons off until the one
// chosen shows how it went (show_port_indicator).
void FrmMain::com_on_off(int16_t port)
{
    img_btn(tables::kCom1Element)->show_picture("com1_off");
    img_btn(tables::kCom2Element)->show_picture("com2_off");
    model_.choose_port(port);
}

void FrmMain::minimise()
{
    open_adj(false);
    open_video(false);
    showMinimized();
}

void FrmMain::in_on_off(int16_t now_in, bool)
{
    const bool bypass_allowed = model_.state().bypass_enabled != 0;
    for (size_t code = 0; code < tables::kInputIndicators.size(); ++code) {
        const tables::Indicator& indicator = tables::kInputIndicators[code];
        const bool unavailable = indicator.element == tables::kBypassElement && !bypass_allowed;
        img_btn(indicator.element)->show_picture(picture(indicator.family, unavailable ? "disable" : "off"));
    }
    if (now_in >= 0 && now_in < int(tables::kInputIndicators.size())) {
        const tables::Indicator& lit = tables::kInputIndicators[size_t(now_in)];
        img_btn(lit.element)->show_picture(picture(lit.family, "on"));
    }
}

// The bypass button follows the permission; the selection has fallen back
// from the bypass to the PC input already where it is no longer allowed.
void FrmMain::proc_pc_bypass()
{
    const DeviceState& state = model_.state();
    SkinButton* bypass = img_btn(tables::kBypassElement);
    in_on_off(state.input_source, false);
    bypass->show_picture(state.bypass_enabled == 0 ? "bypass_disable" : "bypass_off");
    bypass->setEnabled(state.bypass_enabled != 0);
}

void FrmMain::out_on_off(int16_t code, bool)
{
    // Unlit first, in the panel's order of the elements.
    for (const tables::MainButton& button : tables::kMainButtons)
        if (button.kind == MainElement::Output)
            img_btn(button.index)->show_picture(picture(tables::kOutputIndicators[size_t(button.code)].family, "off"));
    if (code >= 0 && code < int(tables::kOutputIndicators.size())) {
        const tables::Indicator& lit = tables::kOutputIndicators[size_t(code)];
        img_btn(lit.element)->show_picture(picture(lit.family, "on"));
    }
}

void FrmMain::adj_on_off(bool on_off)
{
    if (adj_)
        adj_->adj_on_off(on_off);
}

void FrmMain::video_on_off(bool on_off)
{
    if (video_)
        video_->video_on_off(on_off);
}

}  // namespace plenvo
