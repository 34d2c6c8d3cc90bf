// The windows' tables agree with the protocol's: every setting's report
// reaches the window that shows it, a click sends what its button stands
// for, and no reported value can make a window press an element it should
// not.

#include <gtest/gtest.h>

#include <set>

#include "windows/window_tables.h"

namespace plenvo::tables {
namespace {

using protocol::Command;

constexpr std::array kSettingCommands{protocol::kPW, protocol::kIN, protocol::kOU, protocol::kBY, protocol::kDI,
                                      protocol::kAS, protocol::kIR, protocol::kFP, protocol::kTD, protocol::kNR,
                                      protocol::kOS, protocol::kBL, protocol::kFR, protocol::kBR, protocol::kCO,
                                      protocol::kSA, protocol::kSH, protocol::kTI, protocol::kVO};

int reply_code(const Command& command, DeviceState& s, uint8_t value = 1)
{
    return protocol::apply_reply({uint8_t(command.first), uint8_t(command.second), value}, s).code;
}

TEST(WindowTables, EverySettingReportIsShownWhileItsWindowIsOpenAndPowerIsOne)
{
    DeviceState s;
    s.power_state = 1;
    for (const Command& command : kSettingCommands) {
        DeviceState applied = s;
        const int code = reply_code(command, applied);
        const MirrorCall call = mirror_call(code, applied, {true, true});
        EXPECT_NE(call.target, MirrorTarget::None) << command.first << command.second;
        // The adjustment window redraws whole, but from the group of its setting.
        if (call.target == MirrorTarget::Adjustment) {
            EXPECT_EQ(kAdjGroups[size_t(find_adj_button(call.index)->group)].command.field, command.field)
                << command.first << command.second;
        }
        if (call.target == MirrorTarget::VideoScroll) {
            EXPECT_EQ(video_slider_of(command), call.index) << command.first << command.second;
        }
    }
}

TEST(WindowTables, ReportedInputsAndOutputsNeverNameAnotherElement)
{
    DeviceState s;
    for (int value = 0; value < 256; ++value) {
        s.input_source = s.output_format = int16_t(value);
        const MirrorCall input = mirror_call(2, s, {});
        const MirrorCall output = mirror_call(4, s, {});
        ASSERT_EQ(input.target, MirrorTarget::MainPanel);
        const MainButton* in = find_main_button(input.index);
        const MainButton* out = find_main_button(output.index);
        ASSERT_TRUE(in && out) << value;
        EXPECT_EQ(in->kind, MainElement::Input) << value;
        EXPECT_EQ(out->kind, MainElement::Output) << value;
    }
    s.input_source = 4;
    EXPECT_EQ(mirror_call(2, s, {}).index, kBypassElement);
    s.output_format = 3;
    EXPECT_EQ(mirror_call(4, s, {}).index, 8) << "the index is only a group; XGA is drawn from the state";
}

TEST(WindowTables, AReportIsShownOnlyWhereItsWindowAndThePowerLetIt)
{
    const struct {
        int code;
        int16_t power;
        OpenWindows open;
        MirrorCall call;
    } cases[] = {
        {12, 1, {false, true}, {}},
        {18, 1, {false, false}, {MirrorTarget::PcBypass, 0}},
        {18, 1, {true, false}, {MirrorTarget::Adjustment, 16}},
        {15, 1, {true, false}, {MirrorTarget::Adjustment, 4}},
        {15, 2, {true, true}, {}},
        {18, 2, {true, true}, {}},
        {18, 0, {false, false}, {}},
        {1, 2, {}, {MirrorTarget::MainPanel, 0}},
        {1, 0, {}, {MirrorTarget::MainPanel, 0}},
        {17, 1, {true, false}, {}},
        {17, 1, {false, true}, {MirrorTarget::VideoScroll, 5}},
        {8, 1, {false, true}, {MirrorTarget::VideoScroll, 2}},
        {8, 2, {false, true}, {}},
        {protocol::kResetCode, 1, {false, true}, {MirrorTarget::VideoReset, 0}},
        {protocol::kNoCode, 1, {true, true}, {}},
    };
    for (const auto& c : cases) {
        DeviceState s;
        s.power_state = c.power;
        EXPECT_EQ(mirror_call(c.code, s, c.open), c.call)
            << "code " << c.code << ", power " << c.power << ", open " << c.open.adj << c.open.video;
    }
}

TEST(WindowTables, EachMainButtonAndEachAdjustmentButtonSendsAValueItsSettingTakes)
{
    std::set<int> inputs, outputs;
    for (const MainButton& button : kMainButtons) {
        if (button.kind == MainElement::Input)
            inputs.insert(button.code);
        if (button.kind == MainElement::Output)
            outputs.insert(button.code);
    }
    EXPECT_EQ(inputs, (std::set<int>{0, 1, 2, 3, protocol::kBypassInput}));
    EXPECT_EQ(outputs, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7}));

    // A click lights the button it was made on, from the value it stored.
    for (const AdjButton& button : kAdjButtons) {
        DeviceState s;
        s.*(kAdjGroups[size_t(button.group)].command.field) = button.value;
        EXPECT_TRUE(adj_button_lit(button, s)) << button.index;
        for (const AdjButton& other : kAdjButtons) {
            if (other.group == button.group && other.index != button.index) {
                EXPECT_FALSE(adj_button_lit(other, s)) << button.index << " lights " << other.index;
            }
        }
    }
    EXPECT_EQ(adj_group_of(protocol::kBY), kAdjBypassGroup);
    EXPECT_EQ(adj_group_of(protocol::kBR), -1);
    EXPECT_EQ(video_slider_of(protocol::kVO), 5);
    EXPECT_EQ(video_slider_of(protocol::kRE), -1);
}

}  // namespace
}  // namespace plenvo::tables
