#include "wire/protocol.h"

#include <algorithm>

namespace plenvo::protocol {

namespace {

struct AwaitRule {
    char first;
    char second;  // kAny matches any second letter
    int code;     // kNoCode: nothing is awaited
};

// Tried in order; a first letter not listed awaits nothing.
constexpr std::array kAwaitTable{
    AwaitRule{'P', kAny, 1},
    AwaitRule{'I', 'N', 2},
    AwaitRule{'I', kAny, 15},
    AwaitRule{'A', 'S', 3},
    AwaitRule{'A', kAny, kNoCode},
    AwaitRule{'O', 'U', 4},
    AwaitRule{'O', kAny, 5},
    AwaitRule{'B', 'Y', 18},
    AwaitRule{'B', 'L', 19},
    AwaitRule{'B', kAny, kNoCode},
    AwaitRule{'T', 'D', 13},
    AwaitRule{'T', kAny, kNoCode},
    AwaitRule{'D', kAny, 12},
    AwaitRule{'N', kAny, 14},
    AwaitRule{'F', 'P', 16},
    AwaitRule{'F', 'R', 20},
    AwaitRule{'F', kAny, kNoCode},
};

constexpr std::array kAllCommands{
    kPW, kIN, kOU, kAL, kBY, kDI, kAS, kIR, kFP, kTD, kNR,
    kOS, kBL, kFR, kBR, kCO, kSA, kSH, kTI, kVO, kRE,
};

template <typename Rule>
bool letters_match(const Rule& rule, uint8_t first, uint8_t second)
{
    return uint8_t(rule.first) == first && (rule.second == kAny || uint8_t(rule.second) == second);
}

template <typename Table>
auto first_match(const Table& table, uint8_t first, uint8_t second)
{
    return std::find_if(table.begin(), table.end(),
                        [&](const auto& rule) { return letters_match(rule, first, second); });
}

template <typename Table>
auto* by_index(const Table& table, int index)
{
    auto it = std::find_if(table.begin(), table.end(),
                           [index](const auto& entry) { return entry.index == index; });
    return it == table.end() ? nullptr : &*it;
}

bool condition_holds(MirrorWhen when, const DeviceState& s)
{
    switch (when) {
    case MirrorWhen::Always: return true;
    case MirrorWhen::AdjOpenPowerOn: return s.adj_open && s.power_state == 1;
    case MirrorWhen::PowerOn: return s.power_state == 1;
    case MirrorWhen::VideoOpenPowerOn: return s.video_open && s.power_state == 1;
    }
    return false;
}

// A reported code the panel has no element for is shown by redrawing its
// group from the state (nothing lit), never by pressing another element.
int input_element(int input_code)
{
    if (input_code >= 0 && input_code < int(kInputIndicators.size()))
        return kInputIndicators[size_t(input_code)].element;
    return kInputIndicators[0].element;
}

int output_element_of_panel_order(int output_code)
{
    // Any output element redraws the whole group from output_format, so the
    // panel-order element 5 + code serves for codes in range.
    if (output_code >= 0 && output_code < int(kOutputIndicators.size()))
        return 5 + output_code;
    return 5;
}

}  // namespace

const Command* find_command(uint8_t first, uint8_t second)
{
    auto it = std::find_if(kAllCommands.begin(), kAllCommands.end(), [&](const Command& c) {
        return uint8_t(c.first) == first && uint8_t(c.second) == second;
    });
    return it == kAllCommands.end() ? nullptr : &*it;
}

std::optional<int> awaited_code(uint8_t first, uint8_t second)
{
    auto it = first_match(kAwaitTable, first, second);
    if (it == kAwaitTable.end() || it->code == kNoCode)
        return std::nullopt;
    return it->code;
}

const ReplyRule* find_reply_rule(uint8_t first, uint8_t second)
{
    auto it = first_match(kReplyTable, first, second);
    return it == kReplyTable.end() ? nullptr : &*it;
}

AppliedReply apply_reply(const Frame& frame, DeviceState& into)
{
    const ReplyRule* rule = find_reply_rule(frame.first, frame.second);
    if (!rule)
        return {};
    switch (rule->kind) {
    case ReplyKind::Store:
        into.*(rule->field) = frame.value;
        return {rule->code, false};
    case ReplyKind::Ok:
        return {kNoCode, true};
    case ReplyKind::NoStore:
        break;
    }
    return {rule->code, false};
}

MirrorCall mirror_call(int rx_code, const DeviceState& s)
{
    auto rule = std::find_if(kMirrorTable.begin(), kMirrorTable.end(),
                             [rx_code](const MirrorRule& r) { return r.code == rx_code; });
    if (rule == kMirrorTable.end() || !condition_holds(rule->when, s))
        return {};

    MirrorCall call{rule->target, rule->index};
    switch (rule->index_from) {
    case MirrorIndex::Fixed: break;
    case MirrorIndex::FromInput: call.index = input_element(s.input_source); break;
    case MirrorIndex::FromOutput: call.index = output_element_of_panel_order(s.output_format); break;
    case MirrorIndex::ToVideo: call.index = rx_code - 6; break;
    }
    // Only the bypass report gets here with the adjustment window closed:
    // then the main panel's bypass button alone shows it.
    if (call.target == MirrorTarget::Adjustment && !s.adj_open)
        call = {MirrorTarget::PcBypass, 0};
    return call;
}

const MainButton* find_main_button(int index)
{
    return by_index(kMainButtons, index);
}

const AdjButton* find_adj_button(int index)
{
    return by_index(kAdjButtons, index);
}

bool adj_button_lit(const AdjButton& button, const DeviceState& s)
{
    const int16_t value = s.*(kAdjGroups[size_t(button.group)].command.field);
    return button.lit_when == LitWhen::Equal ? value == button.lit_operand
                                             : value != button.lit_operand;
}

}  // namespace plenvo::protocol
