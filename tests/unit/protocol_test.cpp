// The protocol tables agree with one another: a command waits for the code
// its own reply sets, every setting's report reaches a window, and no
// reported value can make the panel press a button it should not.

#include <gtest/gtest.h>

#include <set>

#include "wire/protocol.h"
#include "wire/reply_assembler.h"

namespace plenvo::protocol {
namespace {

constexpr std::array kSettingCommands{kPW, kIN, kOU, kBY, kDI, kAS, kIR, kFP, kTD, kNR,
                                      kOS, kBL, kFR, kBR, kCO, kSA, kSH, kTI, kVO};

TEST(ProtocolTables, EachSettingsReplyStoresWhatItsCommandSent)
{
    for (const Command& command : kSettingCommands) {
        DeviceState s;
        const AppliedReply applied = apply_reply({uint8_t(command.first), uint8_t(command.second), 200}, s);
        EXPECT_EQ(s.*(command.field), 200) << command.first << command.second;

        // An awaited command must end on the code its own reply sets.
        if (const std::optional<int> awaited = awaited_code(uint8_t(command.first), uint8_t(command.second))) {
            EXPECT_EQ(*awaited, applied.code) << command.first << command.second;
        }
    }
}

TEST(ProtocolTables, CommandsWithoutAWaitAreTheVideoSettingsAndTheRequests)
{
    std::set<std::string> unawaited;
    for (const Command& command : {kPW, kIN, kOU, kAL, kBY, kDI, kAS, kIR, kFP, kTD, kNR, kOS, kBL, kFR, kBR, kCO,
                                   kSA, kSH, kTI, kVO, kRE})
        if (!awaited_code(uint8_t(command.first), uint8_t(command.second)))
            unawaited.insert({command.first, command.second});
    EXPECT_EQ(unawaited, (std::set<std::string>{"AL", "BR", "CO", "SA", "SH", "TI", "VO", "RE"}));
}

TEST(ProtocolTables, EverySettingReportIsMirroredWhileItsWindowIsOpenAndPowerIsOne)
{
    DeviceState s;
    s.adj_open = s.video_open = true;
    s.power_state = 1;
    for (const Command& command : kSettingCommands) {
        DeviceState applied = s;
        const int code = apply_reply({uint8_t(command.first), uint8_t(command.second), 1}, applied).code;
        EXPECT_NE(mirror_call(code, applied).target, MirrorTarget::None) << command.first << command.second;
    }
}

TEST(ProtocolTables, ReportedInputsAndOutputsNeverNameAnotherElement)
{
    DeviceState s;
    for (int value = 0; value < 256; ++value) {
        s.input_source = s.output_format = int16_t(value);
        const MirrorCall input = mirror_call(2, s);
        const MirrorCall output = mirror_call(4, s);
        ASSERT_EQ(input.target, MirrorTarget::MainPanel);
        const MainButton* in = find_main_button(input.index);
        const MainButton* out = find_main_button(output.index);
        ASSERT_TRUE(in && out) << value;
        EXPECT_EQ(in->kind, MainElement::Input) << value;
        EXPECT_EQ(out->kind, MainElement::Output) << value;
    }
    s.input_source = 4;
    EXPECT_EQ(mirror_call(2, s).index, kBypassElement);
    s.output_format = 3;
    EXPECT_EQ(mirror_call(4, s).index, 8) << "the index is only a group; XGA is drawn from the state";
}

TEST(ProtocolTables, MirrorConditions)
{
    DeviceState s;
    s.power_state = 1;
    EXPECT_EQ(mirror_call(12, s).target, MirrorTarget::None) << "adjustment window closed";
    EXPECT_EQ(mirror_call(18, s), (MirrorCall{MirrorTarget::PcBypass, 0}));
    s.adj_open = true;
    EXPECT_EQ(mirror_call(18, s), (MirrorCall{MirrorTarget::Adjustment, 16}));
    EXPECT_EQ(mirror_call(15, s), (MirrorCall{MirrorTarget::Adjustment, 4}));
    s.power_state = 2;
    EXPECT_EQ(mirror_call(15, s).target, MirrorTarget::None);
    EXPECT_EQ(mirror_call(18, s).target, MirrorTarget::None);
    EXPECT_EQ(mirror_call(1, s), (MirrorCall{MirrorTarget::MainPanel, 0})) << "power is always shown";

    s.power_state = 1;
    EXPECT_EQ(mirror_call(17, s).target, MirrorTarget::None) << "video window closed";
    s.video_open = true;
    EXPECT_EQ(mirror_call(17, s), (MirrorCall{MirrorTarget::VideoScroll, 5}));
    EXPECT_EQ(mirror_call(8, s), (MirrorCall{MirrorTarget::VideoScroll, 2}));
    EXPECT_EQ(mirror_call(kResetCode, s), (MirrorCall{MirrorTarget::VideoReset, 0}));
    EXPECT_EQ(mirror_call(kNoCode, s).target, MirrorTarget::None);
}

TEST(ReplyAssembler, GroupsBytesInThreesAndDropsAStalePartialFrame)
{
    ReplyAssembler assembler;
    EXPECT_FALSE(assembler.feed('O', 1000));
    EXPECT_FALSE(assembler.feed('U', 1000));
    EXPECT_EQ(assembler.feed(3, 1100), (Frame{'O', 'U', 3})) << "split across polls";

    EXPECT_FALSE(assembler.feed('X', 2000));
    EXPECT_FALSE(assembler.feed('P', 2501));
    EXPECT_FALSE(assembler.feed('W', 2501));
    EXPECT_EQ(assembler.feed(1, 2501), (Frame{'P', 'W', 1})) << "the stray X was dropped";

    // Right across a wrap of the tick counter.
    EXPECT_FALSE(assembler.feed('N', 0xFFFFFFF0u));
    EXPECT_FALSE(assembler.feed('R', 0x00000010u));
    EXPECT_EQ(assembler.feed(0, 0x00000010u), (Frame{'N', 'R', 0}));
}

}  // namespace
}  // namespace plenvo::protocol
