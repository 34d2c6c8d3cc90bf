#pragma once

// The windows' side of the protocol, as data: which element of which window
// stands for which value, and which drawing shows a frame the unit reported.
// Plain C++ on the wire tables, so that the fuzzers can take it too.

#include <array>
#include <cstdint>

#include "wire/device_state.h"
#include "wire/protocol.h"

namespace plenvo::tables {

using protocol::Command;

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

inline constexpr int kPowerElement = 0;
inline constexpr int kBypassElement = 13;
inline constexpr int kAdjElement = 15;
inline constexpr int kVideoElement = 16;
inline constexpr int kCom1Element = 19;
inline constexpr int kCom2Element = 20;

// Input and output indicators, by code: element index and skin family.
struct Indicator {
    int element;
    const char* family;  // bitmap names are family + "_on" / "_off"
};

inline constexpr std::array kInputIndicators{
    Indicator{1, "cv"}, Indicator{2, "sv"}, Indicator{3, "yuv"}, Indicator{4, "pc"},
    Indicator{kBypassElement, "bypass"},
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
    AdjGroup{"Display", protocol::kDI},
    AdjGroup{"Aspect", protocol::kAS},
    AdjGroup{"IR Sensor", protocol::kIR},
    AdjGroup{"Front Panel Lock", protocol::kFP},
    AdjGroup{"3D Enhance", protocol::kTD},
    AdjGroup{"Digital NR", protocol::kNR},
    AdjGroup{"Osd", protocol::kOS},
    AdjGroup{"PC Loop Bypass", protocol::kBY},
    AdjGroup{"Blank", protocol::kBL},
    AdjGroup{"Freeze", protocol::kFR},
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

// The group whose setting the command carries, or -1.
int adj_group_of(const Command& command);

// --------------------------------------------------- video settings window

// The six picture settings, by slider index.
inline constexpr std::array kVideoCommands{
    protocol::kBR, protocol::kCO, protocol::kSA, protocol::kSH, protocol::kTI, protocol::kVO,
};

// The slider of the setting the command carries, or -1.
int video_slider_of(const Command& command);

// --------------------------------------------------------------- reports

// Which drawing shows a frame the unit reported.
enum class MirrorTarget {
    None,
    MainPanel,    // the main panel's buttons, as img_btn_MouseDown draws a report
    Adjustment,   // the whole adjustment window (the bypass group: the main bypass button too)
    PcBypass,     // the main panel's bypass button alone (adjustment window closed)
    VideoScroll,  // every slider and label of the video window
    VideoReset,   // the video window's reset button, which draws nothing for a report
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

// Which companion windows are open.
struct OpenWindows {
    bool adj = false;
    bool video = false;
};

struct MirrorCall {
    MirrorTarget target = MirrorTarget::None;
    int index = 0;
    bool operator==(const MirrorCall&) const = default;
};

// The drawing that shows the frame just applied, or target None.
MirrorCall mirror_call(int rx_code, const DeviceState& s, OpenWindows open);

}  // namespace plenvo::tables
