#include "windows/window_tables.h"

#include <algorithm>

namespace plenvo::tables {

namespace {

template <typename Table>
auto* by_index(const Table& table, int index)
{
    auto it = std::find_if(table.begin(), table.end(), [index](const auto& entry) { return entry.index == index; });
    return it == table.end() ? nullptr : &*it;
}

bool same_letters(const Command& a, const Command& b)
{
    return a.first == b.first && a.second == b.second;
}

bool condition_holds(MirrorWhen when, const DeviceState& s, OpenWindows open)
{
    switch (when) {
    case MirrorWhen::Always: return true;
    case MirrorWhen::AdjOpenPowerOn: return open.adj && s.power_state == 1;
    case MirrorWhen::PowerOn: return s.power_state == 1;
    case MirrorWhen::VideoOpenPowerOn: return open.video && s.power_state == 1;
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
    return button.lit_when == LitWhen::Equal ? value == button.lit_operand : value != button.lit_operand;
}

int adj_group_of(const Command& command)
{
    const auto it = std::ranges::find_if(kAdjGroups, [&](const AdjGroup& g) { return same_letters(g.command, command); });
    return it == kAdjGroups.end() ? -1 : int(it - kAdjGroups.begin());
}

int video_slider_of(const Command& command)
{
    const auto it = std::ranges::find_if(kVideoCommands, [&](const Command& c) { return same_letters(c, command); });
    return it == kVideoCommands.end() ? -1 : int(it - kVideoCommands.begin());
}

MirrorCall mirror_call(int rx_code, const DeviceState& s, OpenWindows open)
{
    auto rule = std::find_if(kMirrorTable.begin(), kMirrorTable.end(),
                             [rx_code](const MirrorRule& r) { return r.code == rx_code; });
    if (rule == kMirrorTable.end() || !condition_holds(rule->when, s, open))
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
    if (call.target == MirrorTarget::Adjustment && !open.adj)
        call = {MirrorTarget::PcBypass, 0};
    return call;
}

}  // namespace plenvo::tables
