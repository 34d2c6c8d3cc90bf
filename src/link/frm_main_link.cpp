// The serial link of the main window: opening the port, sending command
// frames and waiting for their replies, polling and applying replies, and
// showing each applied reply on the windows.

#include <QString>

#include "adjust/frm_adj.h"
#include "app/frm_main.h"
#include "platform/trace.h"
#include "link/serial_control.h"
#include "video/frm_video.h"

namespace plenvo {

namespace {

constexpr const char* kLineSettings = "9600,N,8,1";
constexpr int kCom1Element = 19;
constexpr int kCom2Element = 20;
// Three bytes take 3 ms at 9600 baud; far longer means the line is stuck.
constexpr int kDrainTimeoutMs = 100;
constexpr float kResendSeconds = 0.2f;
constexpr float kOkReplySeconds = 0.5f;
constexpr float kStateRequestSeconds = 1.0f;

QString frame_text(const protocol::Frame& frame)
{
    return trace::letters(frame.first, frame.second) + ' ' + QString::number(frame.value);
}

QString cant_work(int port)
{
    return QStringLiteral("COM%1: can't work !").arg(port);
}

}  // namespace

void FrmMain::com_on_off(int16_t port)
{
    set_message(QString());
    img_btn(kCom1Element)->show_picture("com1_off");
    img_btn(kCom2Element)->show_picture("com2_off");

    const bool opened = [&] {
        if (state.port_ok)
            serial_.set_port_open(false);
        serial_.set_comm_port(port);
        if (!serial_.set_settings(QString::fromLatin1(kLineSettings)) || !serial_.set_port_open(true))
            return false;
        serial_.clear_in_buffer();
        serial_.clear_out_buffer();
        serial_.set_input_mode(1);
        serial_.set_input_len(0);
        return true;
    }();

    ++port_generation_;
    if (opened) {
        // The received bytes were just discarded; a partial frame kept from
        // before would be completed by unrelated bytes.
        assembler_.clear();
        state.port_ok = true;
        state.user_action = true;
        timRx_->set_enabled(true);
    } else {
        set_message(cant_work(port));
        state.port_ok = false;
        timRx_->set_enabled(false);
    }
    platform().yield();
}

void FrmMain::start_up_port_opening()
{
    com_on_off(state.com_port);
    if (!state.port_ok) {
        state.com_port = state.com_port == 1 ? 2 : 1;
        com_on_off(state.com_port);
    }
    show_port_indicator();
}

void FrmMain::show_port_indicator()
{
    if (state.com_port == 1)
        img_btn(kCom1Element)->show_picture(state.port_ok ? "com1_on" : "com1_err");
    else
        img_btn(kCom2Element)->show_picture(state.port_ok ? "com2_on" : "com2_err");
}

// The device behind an open port went away: shown as a port that cannot
// work, so the user knows to pick the port again once it is back.
void FrmMain::report_port_lost()
{
    serial_.set_port_open(false);
    set_message(cant_work(state.com_port));
    state.port_ok = false;
    timRx_->set_enabled(false);
    show_port_indicator();
}

bool FrmMain::link_broken(uint64_t generation) const
{
    return !state.port_ok || generation != port_generation_ || !serial_.port_open() || serial_.device_lost();
}

void FrmMain::tx_cmd(uint8_t cmd1, uint8_t cmd2, int cmd3, bool& result)
{
    if (state.tx_busy || !state.port_ok)
        return;
    // A value that does not fit the frame's byte is refused before the
    // command counts as in progress, so later commands still go out.
    if (cmd3 < 0 || cmd3 > 255)
        return;

    state.tx_busy = true;
    const protocol::Frame frame{cmd1, cmd2, uint8_t(cmd3)};
    const char raw[protocol::kFrameSize] = {char(frame.first), char(frame.second), char(frame.value)};
    const QByteArray bytes(raw, protocol::kFrameSize);
    state.tx_timeout = false;
    timTimeOut_->set_enabled(true);
    rx_code = protocol::kNoCode;

    // A port closed, lost or replaced while the command waits ends the wait
    // at once: the frame can no longer reach the unit.
    const uint64_t generation = port_generation_;
    auto broken = [this, generation] { return link_broken(generation); };
    auto send = [&] {
        if (!serial_.output(bytes))
            return false;
        trace::line(QStringLiteral("tx"), frame_text(frame));
        return true;
    };

    serial_.drain_output(kDrainTimeoutMs);
    bool failed = !send();
    if (!failed) {
        wait_seconds(platform(), kResendSeconds, broken);
        failed = broken();
    }
    if (const std::optional<int> awaited = protocol::awaited_code(cmd1, cmd2)) {
        while (!failed && rx_code != *awaited && !state.tx_timeout) {
            failed = !send();
            if (!failed) {
                wait_seconds(platform(), kResendSeconds, broken);
                failed = broken();
            }
        }
    }

    state.tx_busy = false;
    timTimeOut_->set_enabled(false);
    if (state.tx_timeout || failed) {
        set_message(QString::fromLatin1(kTxFail));
        result = false;
    } else {
        result = true;
    }
}

void FrmMain::timTimeOut_Timer()
{
    state.tx_timeout = true;
}

void FrmMain::start_up_state_request()
{
    if (!state.port_ok)
        return;
    tx_cmd(protocol::kAL.first, protocol::kAL.second, 0, state.tx_result);
    wait_seconds(platform(), kStateRequestSeconds);
}

void FrmMain::timRx_Timer()
{
    if (serial_.device_lost()) {
        report_port_lost();
        return;
    }
    if (serial_.in_buffer_count() == 0)
        return;
    timRx_->set_enabled(false);
    platform().yield();

    const QByteArray received = serial_.input();
    for (char byte : received) {
        const std::optional<protocol::Frame> frame = assembler_.feed(uint8_t(byte), platform().tick_count());
        if (!frame)
            continue;
        trace::line(QStringLiteral("rx"), frame_text(*frame));
        rx_code = frame->value;
        const protocol::AppliedReply applied = protocol::apply_reply(*frame, state);
        rx_code = applied.code;
        if (applied.ok_reply) {
            wait_seconds(platform(), kOkReplySeconds);
            bool al_result = false;
            tx_cmd(protocol::kAL.first, protocol::kAL.second, 0, al_result);
        }
        mirror_reply();
    }

    // A port that failed or closed while the replies were shown stays
    // unpolled.
    if (state.port_ok)
        timRx_->set_enabled(true);
    platform().yield();
}

void FrmMain::mirror_reply()
{
    state.user_action = false;
    const protocol::MirrorCall call = protocol::mirror_call(rx_code, state);
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
    state.user_action = true;
}

}  // namespace plenvo
