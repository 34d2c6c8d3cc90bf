// The main window's side of the serial link: the port buttons, the state
// request at start-up, and each applied reply shown on the windows.

#include <QString>

#include <cstdio>

#include "windows/frm_adj.h"
#include "windows/frm_main.h"
#include "windows/frm_video.h"

namespace plenvo {

namespace {

constexpr int kCom1Element = 19;
constexpr int kCom2Element = 20;
constexpr float kStateRequestSeconds = 1.0f;

}  // namespace

void FrmMain::com_on_off(int16_t port)
{
    open_port([&] { return model_.open_port(port); });
}

// The port buttons go dark while `open` opens a port; the model shows what
// it opened.
void FrmMain::open_port(const std::function<bool()>& open)
{
    img_btn(kCom1Element)->show_picture("com1_off");
    img_btn(kCom2Element)->show_picture("com2_off");
    opening_port_ = true;
    const bool opened = open();
    opening_port_ = false;
    state.com_port = model_.port();
    state.port_ok = model_.port_ok();
    if (opened)
        state.user_action = true;
    platform().yield();
}

void FrmMain::start_up_port_opening()
{
    const int16_t saved = state.com_port;
    open_port([&] { return model_.open_start_up_port(saved); });
    show_port_indicator();
}

void FrmMain::show_port_indicator()
{
    if (state.com_port == 1)
        img_btn(kCom1Element)->show_picture(state.port_ok ? "com1_on" : "com1_err");
    else
        img_btn(kCom2Element)->show_picture(state.port_ok ? "com2_on" : "com2_err");
}

void FrmMain::tx_cmd(uint8_t cmd1, uint8_t cmd2, int cmd3, bool& result)
{
    link_.tx_cmd(cmd1, cmd2, cmd3, [&result](Link::TxResult outcome) {
        if (outcome == Link::TxResult::Answered || outcome == Link::TxResult::Failed)
            result = outcome == Link::TxResult::Answered;
    });
}

bool FrmMain::unconfirmed(const protocol::Command& command) const
{
    return link_.unconfirmed(uint8_t(command.first), uint8_t(command.second));
}

void FrmMain::start_up_state_request()
{
    if (!state.port_ok)
        return;
    link_.request_state();
    wait_seconds(platform(), kStateRequestSeconds);
}

// The windows keep the panel's own record of the unit (`state`): what the
// model stores from the line and from the other doors is copied there, and
// shown as a report of the unit is shown.
void FrmMain::follow_model()
{
    connect(&model_, &UnitModel::message, this, [this](const QString& text) {
        state.port_ok = model_.port_ok();
        link_message(text);
    });
    connect(&model_, &UnitModel::port_changed, this, [this] {
        state.port_ok = model_.port_ok();
        link_port_changed();
    });
    connect(&model_, &UnitModel::port_failed, this, [this](int port, const QString& reason) {
        state.port_ok = model_.port_ok();
        link_port_failed(port, reason);
    });
    connect(&model_, &UnitModel::frame_applied, this, [this](const protocol::Frame& frame, int code) {
        protocol::apply_reply(frame, state);
        link_frame_applied(frame, code);
    });
    connect(&model_, &UnitModel::chosen, this, [this](const protocol::Command& command, Door by) {
        if (by == Door::Windows || form_unloaded_)
            return;
        if (command.field) {
            state.*(command.field) = model_.state().*(command.field);
            // The bypass no longer allowed takes the input off it.
            if (command.field == protocol::kBY.field)
                state.input_source = model_.state().input_source;
        } else {
            state.reset_video_settings();
        }
        if (const protocol::ReplyRule* rule = protocol::find_reply_rule(uint8_t(command.first), uint8_t(command.second)))
            mirror_reply(rule->code);
    });
}

void FrmMain::link_message(const QString& text)
{
    set_message(text);
}

void FrmMain::link_port_changed()
{
    // The port being opened on purpose shows its indicator once it is done.
    if (!opening_port_)
        show_port_indicator();
    for (const auto& [element, port] : {std::pair{kCom1Element, 1}, std::pair{kCom2Element, 2}}) {
        const QString name = img_btn(element)->accessibleName();
        const QString problem = link_.line_problem(port);
        img_btn(element)->setToolTip(problem.isEmpty() ? name : name + QStringLiteral(": ") + problem);
    }
}

void FrmMain::link_port_failed(int port, const QString& reason)
{
    const QByteArray line = QStringLiteral("plenvo: COM%1: %2\n").arg(port).arg(reason).toLocal8Bit();
    std::fputs(line.constData(), stderr);
}

void FrmMain::link_frame_applied(const protocol::Frame& frame, int code)
{
    mirror_reply(code);
    emit frame_applied(frame);
}

void FrmMain::mirror_reply(int code)
{
    state.user_action = false;
    mirroring_ = true;
    const protocol::MirrorCall call = protocol::mirror_call(code, state);
    // A companion closed meanwhile is hidden and waiting to be destroyed;
    // nothing is shown in it any more.
    FrmAdj* adj = adj_ && !adj_->unloaded() ? adj_.data() : nullptr;
    FrmVideo* video = video_ && !video_->unloaded() ? video_.data() : nullptr;
    switch (call.target) {
    case protocol::MirrorTarget::None: break;
    case protocol::MirrorTarget::MainPanel: img_btn_MouseDown(call.index, 1, 1, 1.0f, 1.0f); break;
    case protocol::MirrorTarget::Adjustment:
        if (adj)
            adj->img_btn_MouseDown(call.index, 1, 1, 1.0f, 1.0f);
        break;
    case protocol::MirrorTarget::PcBypass: proc_pc_bypass(); break;
    case protocol::MirrorTarget::VideoScroll:
        if (video)
            video->hsr_video_Scroll(call.index);
        break;
    case protocol::MirrorTarget::VideoReset:
        if (video)
            video->img_btn_MouseDown(1, 1, 1.0f, 1.0f);
        break;
    }
    mirroring_ = false;
    state.user_action = true;
}

}  // namespace plenvo
