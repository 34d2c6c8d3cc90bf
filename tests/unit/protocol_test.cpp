// The protocol tables agree with one another: a command waits for the code
// its own reply sets. How the windows show the replies:
// window_tables_test.cpp.

#include <gtest/gtest.h>

#include <set>
#include <string>

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
