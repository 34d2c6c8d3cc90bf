#pragma once

// The unit's serial protocol, as data: every frame the panel sends, every
// reply it understands, how a reply is shown on the windows and which panel
// element stands for which value. The panel and the simulated unit share it.
//
// A frame is three bytes in both directions: first letter, second letter
// (ASCII capitals), value 0..255. No header, checksum or terminator.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "wire/device_state.h"

namespace plenvo::protocol {

using Field = int16_t DeviceState::*;

struct Frame {
    uint8_t first = 0;
    uint8_t second = 0;
    uint8_t value = 0;
    bool operator==(const Frame&) const = default;
};

inline constexpr int kFrameSize = 3;
// Reply code of an unrecognised frame; as an input or output code it means
// "nothing selected".
inline constexpr int kNoCode = 99;
// Reply code of any frame whose first letter is R (the unit's reset report).
inline constexpr int kResetCode = 11;
// Stands for "any second letter" in the tables below.
inline constexpr char kAny = 0;

// ---------------------------------------------------------------- commands

// Every command the panel sends, with the setting whose value it carries.
// AL (state request) and RE (reset the picture settings) carry 0.
struct Command {
    char first;
    char second;
    Field field;  // nullptr: the value is always 0
};

inline constexpr Command kPW{'P', 'W', &DeviceState::power_state};
inline constexpr Command kIN{'I', 'N', &DeviceState::input_source};
inline constexpr Command kOU{'O', 'U', &DeviceState::output_format};
inline constexpr Command kAL{'A', 'L', nullptr};
inline constexpr Command kBY{'B', 'Y', &DeviceState::bypass_enabled};
inline constexpr Command kDI{'D', 'I', &DeviceState::adj_di};
inline constexpr Command kAS{'A', 'S', &DeviceState::adj_as};
inline constexpr Command kIR{'I', 'R', &DeviceState::adj_ir};
inline constexpr Command kFP{'F', 'P', &DeviceState::adj_fp};
inline constexpr Command kTD{'T', 'D', &DeviceState::adj_td};
inline constexpr Command kNR{'N', 'R', &DeviceState::adj_nr};
inline constexpr Command kOS{'O', 'S', &DeviceState::adj_os};
inline constexpr Command kBL{'B', 'L', &DeviceState::adj_bl};
inline constexpr Command kFR{'F', 'R', &DeviceState::adj_fr};
inline constexpr Command kBR{'B', 'R', &DeviceState::video_br};
inline constexpr Command kCO{'C', 'O', &DeviceState::video_co};
inline constexpr Command kSA{'S', 'A', &DeviceState::video_sa};
inline constexpr Command kSH{'S', 'H', &DeviceState::video_sh};
inline constexpr Command kTI{'T', 'I', &DeviceState::video_ti};
inline constexpr Command kVO{'V', 'O', &DeviceState::video_vo};
inline constexpr Command kRE{'R', 'E', nullptr};

// The settings a unit reports in answer to AL, in the order it sends them.
inline constexpr std::array kStateReportOrder{
    kPW, kIN, kOU, kBY, kDI, kAS, kIR, kFP, kTD, kNR,
    kOS, kBL, kFR, kBR, kCO, kSA, kSH, kTI, kVO,
};

// The command with these letters, or nullptr for letters the unit does not know.
const Command* find_command(uint8_t first, uint8_t second);

// The reply code that ends the wait for a command, looked up by its first
// letter and, where it matters, its second. Empty: the command is sent once
// and not waited for.
std::optional<int> awaited_code(uint8_t first, uint8_t second);

// ----------------------------------------------------------------- replies

enum class ReplyKind {
    Store,    // store the value in `field`, code `code`
    Ok,       // the unit asks to be asked for its state again (O K)
    NoStore,  // recognised letter, nothing stored, code `code`
};

struct ReplyRule {
    char first;
    char second;  // kAny matches any second letter
    ReplyKind kind;
    Field field;
    int code;
};

// Tried in order; the first rule whose letters match applies. A frame that
// matches none is unrecognised (kNoCode).
inline constexpr std::array kReplyTable{
    ReplyRule{'P', kAny, ReplyKind::Store, &DeviceState::power_state, 1},
    ReplyRule{'I', 'N', ReplyKind::Store, &DeviceState::input_source, 2},
    ReplyRule{'I', kAny, ReplyKind::Store, &DeviceState::adj_ir, 15},
    ReplyRule{'F', 'P', ReplyKind::Store, &DeviceState::adj_fp, 16},
    ReplyRule{'F', 'R', ReplyKind::Store, &DeviceState::adj_fr, 20},
    // F, A or B with a second letter the unit never sends: unrecognised, so
    // the value byte can never pose as a reply code.
    ReplyRule{'F', kAny, ReplyKind::NoStore, nullptr, kNoCode},
    ReplyRule{'A', 'S', ReplyKind::Store, &DeviceState::adj_as, 3},
    ReplyRule{'A', kAny, ReplyKind::NoStore, nullptr, kNoCode},
    ReplyRule{'O', 'U', ReplyKind::Store, &DeviceState::output_format, 4},
    ReplyRule{'O', 'K', ReplyKind::Ok, nullptr, kNoCode},
    ReplyRule{'O', kAny, ReplyKind::Store, &DeviceState::adj_os, 5},
    ReplyRule{'D', kAny, ReplyKind::Store, &DeviceState::adj_di, 12},
    ReplyRule{'B', 'R', ReplyKind::Store, &DeviceState::video_br, 6},
    ReplyRule{'B', 'Y', ReplyKind::Store, &DeviceState::bypass_enabled, 18},
    ReplyRule{'B', 'L', ReplyKind::Store, &DeviceState::adj_bl, 19},
    ReplyRule{'B', kAny, ReplyKind::NoStore, nullptr, kNoCode},
    ReplyRule{'C', kAny, ReplyKind::Store, &DeviceState::video_co, 7},
    ReplyRule{'S', 'A', ReplyKind::Store, &DeviceState::video_sa, 8},
    ReplyRule{'S', kAny, ReplyKind::Store, &DeviceState::video_sh, 9},
    ReplyRule{'T', 'I', ReplyKind::Store, &DeviceState::video_ti, 10},
    ReplyRule{'T', kAny, ReplyKind::Store, &DeviceState::adj_td, 13},
    ReplyRule{'R', kAny, ReplyKind::NoStore, nullptr, kResetCode},
    ReplyRule{'V', kAny, ReplyKind::Store, &DeviceState::video_vo, 17},
    ReplyRule{'N', kAny, ReplyKind::Store, &DeviceState::adj_nr, 14},
};

// The rule for a frame's letters, or nullptr when it is unrecognised.
const ReplyRule* find_reply_rule(uint8_t first, uint8_t second);

struct AppliedReply {
    int code = kNoCode;
    bool ok_reply = false;  // O K: the panel must ask for the state again
};

// Stores the frame's value where its letters say and returns its reply code.
AppliedReply apply_reply(const Frame& frame, DeviceState& into);

// --------------------------------------------------------------- mirroring

// Which handler shows a reported value on the windows.
enum class MirrorTarget {
    None,
    MainPanel,    // frm_main img_btn_MouseDown
    Adjustment,   // frm_adj img_btn_MouseDown
    PcBypass,     // frm_main proc_pc_bypass (bypass report, adjustment closed)
    VideoScroll,  // frm_video hsr_video_Scroll
    VideoReset,   // frm_video img_btn_MouseDown (the reset button)
};

enum class MirrorWhen {
    Always,
    AdjOpenPowerOn,
    PowerOn,
    VideoOpenPowerOn,
};

enum class MirrorIndex {
    Fixed,      // `index` as given
    FromInput,  // the element of input_source
    FromOutput, // the element of output_format
    ToVideo,    // rx_code - 6
};

struct MirrorRule {
    int code;
    MirrorWhen when;
    MirrorTarget target;
    MirrorIndex index_from;
    int index;
};

inline constexpr std::array kMirrorTable{
    MirrorRule{1, MirrorWhen::Always, MirrorTarget::MainPanel, MirrorIndex::Fixed, 0},
    MirrorRule{2, MirrorWhen::Always, MirrorTarget::MainPanel, MirrorIndex::FromInput, 0},
    MirrorRule{4, MirrorWhen::Always, MirrorTarget::MainPanel, MirrorIndex::FromOutput, 0},
    MirrorRule{3, MirrorWhen::AdjOpenPowerOn, MirrorTarget::Adjustment, MirrorIndex::Fixed, 2},
    MirrorRule{5, MirrorWhen::AdjOpenPowerOn, MirrorTarget::Adjustment, MirrorIndex::Fixed, 12},
    MirrorRule{12, MirrorWhen::AdjOpenPowerOn, MirrorTarget::Adjustment, MirrorIndex::Fixed, 0},
    MirrorRule{13, MirrorWhen::AdjOpenPowerOn, MirrorTarget::Adjustment, MirrorIndex::Fixed, 8},
    MirrorRule{14, MirrorWhen::AdjOpenPowerOn, MirrorTarget::Adjustment, MirrorIndex::Fixed, 10},
    MirrorRule{15, MirrorWhen::AdjOpenPowerOn, MirrorTarget::Adjustment, MirrorIndex::Fixed, 4},
    MirrorRule{16, MirrorWhen::AdjOpenPowerOn, MirrorTarget::Adjustment, MirrorIndex::Fixed, 6},
    MirrorRule{19, MirrorWhen::AdjOpenPowerOn, MirrorTarget::Adjustment, MirrorIndex::Fixed, 19},
    MirrorRule{20, MirrorWhen::AdjOpenPowerOn, MirrorTarget::Adjustment, MirrorIndex::Fixed, 21},
    // A bypass report redraws the adjustment window when it is open, else
    // only the main panel's bypass button (resolved in mirror_call).
    MirrorRule{18, MirrorWhen::PowerOn, MirrorTarget::Adjustment, MirrorIndex::Fixed, 16},
    MirrorRule{6, MirrorWhen::VideoOpenPowerOn, MirrorTarget::VideoScroll, MirrorIndex::ToVideo, 0},
    MirrorRule{7, MirrorWhen::VideoOpenPowerOn, MirrorTarget::VideoScroll, MirrorIndex::ToVideo, 0},
    MirrorRule{8, MirrorWhen::VideoOpenPowerOn, MirrorTarget::VideoScroll, MirrorIndex::ToVideo, 0},
    MirrorRule{9, MirrorWhen::VideoOpenPowerOn, MirrorTarget::VideoScroll, MirrorIndex::ToVideo, 0},
    MirrorRule{10, MirrorWhen::VideoOpenPowerOn, MirrorTarget::VideoScroll, MirrorIndex::ToVideo, 0},
    MirrorRule{17, MirrorWhen::VideoOpenPowerOn, MirrorTarget::VideoScroll, MirrorIndex::Fixed, 5},
    MirrorRule{11, MirrorWhen::VideoOpenPowerOn, MirrorTarget::VideoReset, MirrorIndex::Fixed, 0},
};

struct MirrorCall {
    MirrorTarget target = MirrorTarget::None;
    int index = 0;
    bool operator==(const MirrorCall&) const = default;
};

// The handler call that shows the frame just applied, or target None.
MirrorCall mirror_call(int rx_code, const DeviceState& s);

// ------------------------------------------------------------- main panel

// What each element of the main panel's img_btn array stands for.
enum class MainElement {
    None, Power, Input, Output, Adj, Video, Com1, Com2, Minimise, Exit,
};

struct MainButton {
    int index;
    MainElement kind;
    int code;  // input or output code for Input and Output elements
};

inline constexpr std::array kMainButtons{
    MainButton{0, MainElement::Power, 0},
    MainButton{1, MainElement::Input, 0},
    MainButton{2, MainElement::Input, 1},
    MainButton{3, MainElement::Input, 2},
    MainButton{4, MainElement::Input, 3},
    MainButton{5, MainElement::Output, 0},
    MainButton{6, MainElement::Output, 1},
    MainButton{7, MainElement::Output, 2},
    MainButton{8, MainElement::Output, 5},
    MainButton{9, MainElement::Output, 3},
    MainButton{10, MainElement::Output, 4},
    MainButton{11, MainElement::Output, 7},
    MainButton{12, MainElement::Output, 6},
    MainButton{13, MainElement::Input, 4},
    MainButton{15, MainElement::Adj, 0},
    MainButton{16, MainElement::Video, 0},
    MainButton{19, MainElement::Com1, 0},
    MainButton{20, MainElement::Com2, 0},
    MainButton{21, MainElement::Minimise, 0},
    MainButton{22, MainElement::Exit, 0},
};

// The element an index names, or nullptr (14, 17, 18 and anything out of range).
const MainButton* find_main_button(int index);

inline constexpr int kBypassInput = 4;
inline constexpr int kBypassElement = 13;

// Input and output indicators, by code: element index and skin family.
struct Indicator {
    int element;
    const char* family;  // bitmap names are family + "_on" / "_off"
};

inline constexpr std::array kInputIndicators{
    Indicator{1, "cv"}, Indicator{2, "sv"}, Indicator{3, "yuv"}, Indicator{4, "pc"},
    Indicator{13, "bypass"},
};

inline constexpr std::array kOutputIndicators{
    Indicator{5, "vga"}, Indicator{6, "480p"}, Indicator{7, "svga"}, Indicator{9, "xga"},
    Indicator{10, "sxga"}, Indicator{8, "576p"}, Indicator{12, "720p"}, Indicator{11, "1080i"},
};

// ------------------------------------------------------- adjustment window

// One of the ten adjustment settings: its command and the state it holds.
struct AdjGroup {
    const char* name;
    Command command;
};

enum class LitWhen { Equal, NotEqual };

// One button of the adjustment window: the value a click stores in its
// group's setting, and when the button is drawn lit.
struct AdjButton {
    int index;
    int group;        // index into kAdjGroups
    int16_t value;    // stored and sent by a user's click
    LitWhen lit_when; // compared with `lit_operand`
    int16_t lit_operand;
    const char* family;  // bitmap names are family + "_on" / "_off"
};

// In the order in which the lit pass draws them.
inline constexpr std::array kAdjGroups{
    AdjGroup{"Display", kDI},
    AdjGroup{"Aspect", kAS},
    AdjGroup{"IR Sensor", kIR},
    AdjGroup{"Front Panel Lock", kFP},
    AdjGroup{"3D Enhance", kTD},
    AdjGroup{"Digital NR", kNR},
    AdjGroup{"Osd", kOS},
    AdjGroup{"PC Loop Bypass", kBY},
    AdjGroup{"Blank", kBL},
    AdjGroup{"Freeze", kFR},
};

// In index order; there is no button 15. Front Panel Lock runs the other
// way round from the other pairs: its on button stores 0.
inline constexpr std::array kAdjButtons{
    AdjButton{0, 0, 1, LitWhen::NotEqual, 0, "on"},
    AdjButton{1, 0, 0, LitWhen::Equal, 0, "off"},
    AdjButton{2, 1, 2, LitWhen::Equal, 2, "43"},
    AdjButton{3, 1, 0, LitWhen::Equal, 0, "169"},
    AdjButton{4, 2, 1, LitWhen::NotEqual, 0, "on"},
    AdjButton{5, 2, 0, LitWhen::Equal, 0, "off"},
    AdjButton{6, 3, 0, LitWhen::NotEqual, 1, "on"},
    AdjButton{7, 3, 1, LitWhen::Equal, 1, "off"},
    AdjButton{8, 4, 1, LitWhen::NotEqual, 0, "on"},
    AdjButton{9, 4, 0, LitWhen::Equal, 0, "off"},
    AdjButton{10, 5, 1, LitWhen::NotEqual, 0, "on"},
    AdjButton{11, 5, 0, LitWhen::Equal, 0, "off"},
    AdjButton{12, 6, 1, LitWhen::NotEqual, 0, "on"},
    AdjButton{13, 6, 0, LitWhen::Equal, 0, "off"},
    AdjButton{14, 1, 1, LitWhen::Equal, 1, "std"},
    AdjButton{16, 7, 1, LitWhen::NotEqual, 0, "enable"},
    AdjButton{17, 7, 0, LitWhen::Equal, 0, "disable"},
    AdjButton{18, 8, 1, LitWhen::NotEqual, 0, "on"},
    AdjButton{19, 8, 0, LitWhen::Equal, 0, "off"},
    AdjButton{20, 9, 1, LitWhen::NotEqual, 0, "on"},
    AdjButton{21, 9, 0, LitWhen::Equal, 0, "off"},
};

inline constexpr int kAdjBypassGroup = 7;

// The button an index names, or nullptr (15 and anything out of range).
const AdjButton* find_adj_button(int index);

// Whether the button is drawn lit for the state as it stands.
bool adj_button_lit(const AdjButton& button, const DeviceState& s);

// --------------------------------------------------- video settings window

// The six picture settings, by slider index.
inline constexpr std::array kVideoCommands{kBR, kCO, kSA, kSH, kTI, kVO};
inline constexpr int kVideoMin = 0;
inline constexpr int kVideoMax = 63;

}  // namespace plenvo::protocol
