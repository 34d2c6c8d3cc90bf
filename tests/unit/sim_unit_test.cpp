#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <string>

#include "sim/flood.h"
#include "sim/frame_log.h"
#include "sim/front_panel.h"
#include "sim/unit.h"

namespace plenvo::sim {
namespace {

using protocol::Frame;
using namespace std::chrono_literals;

Frame frame(char first, char second, uint8_t value)
{
    return {uint8_t(first), uint8_t(second), value};
}

// ------------------------------------------------------------------ Unit

TEST(SimUnit, StoresEverySettingItIsSentAndEchoesIt)
{
    for (const protocol::Command& setting : protocol::kStateReportOrder) {
        Unit unit;
        const Frame command = frame(setting.first, setting.second, 7);
        EXPECT_EQ(unit.answer(command), std::vector{command}) << setting.first << setting.second;
        EXPECT_EQ(unit.state().*(setting.field), 7) << setting.first << setting.second;
    }
}

TEST(SimUnit, StateRequestReportsEverySettingInOrder)
{
    Unit unit;
    unit.answer(frame('I', 'N', 2));
    unit.answer(frame('V', 'O', 50));

    const std::vector<Frame> reports = unit.answer(frame('A', 'L', 0));

    ASSERT_EQ(reports.size(), protocol::kStateReportOrder.size());
    std::string letters;
    for (const Frame& report : reports)
        letters += std::string{char(report.first), char(report.second), ' '};
    EXPECT_EQ(letters, "PW IN OU BY DI AS IR FP TD NR OS BL FR BR CO SA SH TI VO ");
    EXPECT_EQ(reports.front(), frame('P', 'W', 1)) << "the unit starts switched on";
    EXPECT_EQ(reports[1], frame('I', 'N', 2));
    EXPECT_EQ(reports.back(), frame('V', 'O', 50));
}

TEST(SimUnit, ResetRestoresThePictureSettingsOnlyAndAnswersRE0)
{
    Unit unit;
    for (const protocol::Command& setting : {protocol::kBR, protocol::kCO, protocol::kSA, protocol::kSH,
                                             protocol::kTI, protocol::kVO})
        unit.answer(frame(setting.first, setting.second, 1));
    unit.answer(frame('O', 'U', 5));

    EXPECT_EQ(unit.answer(frame('R', 'E', 0)), std::vector{frame('R', 'E', 0)});

    const DeviceState& state = unit.state();
    EXPECT_EQ(state.video_br, 31);
    EXPECT_EQ(state.video_co, 58);
    EXPECT_EQ(state.video_sa, 31);
    EXPECT_EQ(state.video_sh, 10);
    EXPECT_EQ(state.video_ti, 31);
    EXPECT_EQ(state.video_vo, 31);
    EXPECT_EQ(state.output_format, 5);
}

TEST(SimUnit, FramesThatAreNoCommandGetNoAnswerAndChangeNothing)
{
    Unit unit;
    const DeviceState before = unit.state();
    // Unknown letters, a reply the unit sends but never receives, a reply
    // prefix the panel would read as IR, and lower case.
    for (const Frame& stranger : {frame('X', 'Y', 1), frame('O', 'K', 0), frame('I', 'X', 0),
                                  frame('i', 'n', 2)})
        EXPECT_TRUE(unit.answer(stranger).empty()) << stranger.first << stranger.second;
    EXPECT_EQ(unit.state(), before);
}

TEST(SimUnit, ReportsAreStoredTheWayThePanelReadsThem)
{
    Unit unit;
    unit.report(frame('O', 'U', 3));
    EXPECT_EQ(unit.state().output_format, 3);

    // The panel takes any I but IN for the IR sensor.
    unit.report(frame('I', 'X', 0));
    EXPECT_EQ(unit.state().adj_ir, 0);

    const DeviceState before = unit.state();
    unit.report(frame('O', 'K', 0));
    EXPECT_EQ(unit.state(), before);
}

// ------------------------------------------------------ CommandAssembler

class SimCommandAssemblerTest : public ::testing::Test {
protected:
    std::optional<Frame> push(char byte, std::chrono::milliseconds after_previous)
    {
        now_ += after_previous;
        return assembler_.push(uint8_t(byte), now_);
    }

    CommandAssembler assembler_;
    CommandAssembler::Clock::time_point now_{};
};

TEST_F(SimCommandAssemblerTest, CompletesAFrameOnItsThirdByte)
{
    EXPECT_FALSE(push('I', 0ms));
    EXPECT_FALSE(push('N', 1ms));
    EXPECT_EQ(push(2, 1ms), frame('I', 'N', 2));
    EXPECT_FALSE(push('O', 1ms)) << "the next frame starts afresh";
}

TEST_F(SimCommandAssemblerTest, KeepsAPartialFrameForHalfASecond)
{
    push('I', 0ms);
    push('N', 500ms);
    EXPECT_EQ(push(2, 500ms), frame('I', 'N', 2));
}

TEST_F(SimCommandAssemblerTest, GivesUpAStaleStrayByteAndStaysAligned)
{
    push('?', 0ms);
    EXPECT_FALSE(push('I', 501ms));
    EXPECT_FALSE(push('N', 1ms));
    EXPECT_EQ(push(2, 1ms), frame('I', 'N', 2));
    push('O', 1ms);
    push('U', 1ms);
    EXPECT_EQ(push(6, 1ms), frame('O', 'U', 6));
}

// ------------------------------------------------------------ Front panel

TEST(SimFrontPanel, ReadsEveryCommand)
{
    const auto send = parse_panel_line("send OU 3");
    ASSERT_TRUE(send && std::holds_alternative<SendReport>(*send));
    EXPECT_EQ(std::get<SendReport>(*send).frame, frame('O', 'U', 3));

    const auto byte = parse_panel_line("byte 255");
    ASSERT_TRUE(byte && std::holds_alternative<SendByte>(*byte));
    EXPECT_EQ(std::get<SendByte>(*byte).value, 255);

    const auto mute = parse_panel_line("mute on");
    ASSERT_TRUE(mute && std::holds_alternative<SetMute>(*mute));
    EXPECT_TRUE(std::get<SetMute>(*mute).on);
    EXPECT_FALSE(std::get<SetMute>(*parse_panel_line("mute off")).on);

    const auto flood = parse_panel_line("flood 1.5");
    ASSERT_TRUE(flood && std::holds_alternative<StartFlood>(*flood));
    EXPECT_DOUBLE_EQ(std::get<StartFlood>(*flood).seconds, 1.5);

    EXPECT_TRUE(std::holds_alternative<ShowState>(*parse_panel_line("  state\t\r")));
    EXPECT_TRUE(std::holds_alternative<Quit>(*parse_panel_line("quit")));
    EXPECT_TRUE(std::holds_alternative<EmptyLine>(*parse_panel_line(" ")));
}

TEST(SimFrontPanel, RefusesMalformedLines)
{
    for (const char* line : {"send OUX 3", "send OU 256", "send OU", "send OU 3 4", "byte -1",
                             "byte x", "byte 1x", "mute maybe", "mute", "flood 0", "flood -1",
                             "flood 1e9", "flood nan", "state now", "quit!", "frobnicate", "send ZZ 5", "send RE 0"})
        EXPECT_FALSE(parse_panel_line(line)) << line;
    EXPECT_EQ(panel_line_mistake("send ZZ 5"),
              "unknown letters ZZ (letters: PW IN OU BY DI AS IR FP TD NR OS BL FR BR CO SA SH TI VO OK)");
    EXPECT_EQ(panel_line_mistake("send OU 256"), "") << "no more to say than the usage";
    EXPECT_TRUE(parse_panel_line("send OK 0")) << "the unit's request to be asked again";
}

TEST(SimFrontPanel, StateLineListsTheSettingsAsTheUnitReportsThem)
{
    EXPECT_EQ(state_line(Unit().state()),
              "state PW 1 IN 0 OU 0 BY 0 DI 1 AS 1 IR 1 FP 1 TD 1 NR 1 OS 1 BL 0 FR 0 "
              "BR 31 CO 58 SA 31 SH 10 TI 31 VO 31");
}

// ------------------------------------------------------------------ Flood

TEST(SimFlood, CoversEverySettingTheUnitReports)
{
    std::set<std::string> flooded;
    for (const ReportRange& range : kFloodRanges)
        flooded.insert({range.setting.first, range.setting.second});
    std::set<std::string> reported;
    for (const protocol::Command& setting : protocol::kStateReportOrder)
        reported.insert({setting.first, setting.second});
    EXPECT_EQ(flooded, reported);
}

TEST(SimFlood, ReportsOnlyValuesTheSettingMayTake)
{
    std::map<std::string, const ReportRange*> ranges;
    for (const ReportRange& range : kFloodRanges)
        ranges[{range.setting.first, range.setting.second}] = &range;

    ReportGenerator generator(1);
    std::set<std::string> seen;
    for (int i = 0; i < 2000; ++i) {
        const Frame report = generator.next();
        const std::string letters{char(report.first), char(report.second)};
        ASSERT_TRUE(ranges.count(letters)) << letters;
        EXPECT_GE(report.value, ranges[letters]->lowest) << letters;
        EXPECT_LE(report.value, ranges[letters]->highest) << letters;
        seen.insert(letters);
    }
    EXPECT_EQ(seen.size(), kFloodRanges.size());
}

TEST(SimFlood, SendsOneBatchEveryTenthOfASecond)
{
    EXPECT_EQ(flood_batches(1.0), 10);
    EXPECT_EQ(flood_batches(2.54), 25);
    EXPECT_EQ(flood_batches(0.01), 1) << "even the shortest flood sends something";
}

// -------------------------------------------------------------- Frame log

TEST(SimFrameLog, ShowsLettersAsCharactersAndAnythingElseAsQuestionMarks)
{
    EXPECT_EQ(frame_log_line(12ms, Direction::Received, frame('I', 'N', 2)), "12 RX IN 2");
    EXPECT_EQ(frame_log_line(5ms, Direction::Sent, Frame{0x01, ' ', 200}), "5 TX ?? 200");
    EXPECT_EQ(byte_log_line(7ms, 9), "7 TX byte 9");
}

TEST(SimFrameLog, EveryLineCanBeReadAsSoonAsItIsLogged)
{
    const std::string path = ::testing::TempDir() + "sim_frame_log_test.log";
    FrameLog log;
    ASSERT_TRUE(log.open(path));
    log.frame(Direction::Sent, frame('P', 'W', 1));
    log.stray_byte(3);

    std::ifstream file(path);
    std::string sent, stray;
    std::getline(file, sent);
    std::getline(file, stray);
    EXPECT_TRUE(sent.ends_with(" TX PW 1")) << sent;
    EXPECT_TRUE(stray.ends_with(" TX byte 3")) << stray;
}

}  // namespace
}  // namespace plenvo::sim
