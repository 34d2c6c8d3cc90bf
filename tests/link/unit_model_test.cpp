// The unit model on the simulated clock, without any window: the rules,
// the outcome each asker is told, and what it reports as changed.

#include <gtest/gtest.h>

#include <optional>

#include "sim/unit.h"
#include "support/fake_serial.h"
#include "support/sim_platform.h"
#include "unit/unit_model.h"

namespace plenvo::testing {
namespace {

using protocol::Frame;
using Kind = Outcome::Kind;

class UnitModelTest : public ::testing::Test {
protected:
    UnitModelTest()
    {
        QObject::connect(&model, &UnitModel::reported, [this](const protocol::Command& c, int value, Door by) {
            reports.push_back({c.first, c.second, value, by});
        });
        EXPECT_TRUE(model.open_start_up_port(1));
    }

    // The unit answers like the real one 20 ms later, except that it
    // ignores the letters in `ignored` (and keeps its value of them).
    void answering(std::string ignored = {})
    {
        serial.on_frame = [this, ignored](const Frame& command) {
            if (ignored.size() == 2 && command.first == uint8_t(ignored[0]) && command.second == uint8_t(ignored[1]))
                return;
            const std::vector<Frame> replies = unit.answer(command);
            platform.after(20, [this, replies] {
                for (const Frame& reply : replies)
                    serial.receive(reply);
            });
        };
    }

    Outcome set(const protocol::Command& command, int value)
    {
        std::optional<Outcome> outcome;
        model.set(command, value, Door::Control, [&outcome](const Outcome& o) { outcome = o; });
        for (int ms = 0; ms < 3000 && !outcome; ++ms)
            platform.yield();
        EXPECT_TRUE(outcome.has_value());
        return outcome.value_or(Outcome{Kind::Replaced, {}});
    }

    struct Report {
        char first;
        char second;
        int value;
        Door by;
        bool operator==(const Report&) const = default;
    };

    SimPlatform platform;
    FakeSerial serial{platform};
    sim::Unit unit;
    UnitModel model{platform, serial};
    std::vector<Report> reports;
};

TEST_F(UnitModelTest, EachAskerIsToldOnceHowItsSettingCameOut)
{
    struct Case {
        const char* what;
        std::string ignored;  // letters the unit does not take
        bool unit_on;
        protocol::Command command;
        int value;
        Kind kind;
        const char* reason;
        // The outcome is told this soon: the moment the unit's answer or
        // report (20 ms after each frame) is in, not at the next poll.
        uint64_t within_ms;
    };
    const Case cases[] = {
        {"answered", "", true, protocol::kOU, 3, Kind::Done, "", 25},
        {"a level the unit reports", "", true, protocol::kBR, 40, Kind::Done, "", 25},
        {"a level the unit ignores", "BR", true, protocol::kBR, 12, Kind::NotConfirmed,
         "the unit reports bright 31 after bright 12", 230},
        {"not answered", "OU", true, protocol::kOU, 5, Kind::NotAnswered, "the unit did not answer output 576p", 1000},
        {"power off", "", false, protocol::kNR, 1, Kind::Refused, "the power is off: only power can be set", 0},
        {"bypass not allowed", "", true, protocol::kIN, 4, Kind::Refused, "input bypass needs bypass on", 0},
    };
    for (const Case& c : cases) {
        unit = sim::Unit();
        unit.answer({'P', 'W', uint8_t(c.unit_on)});
        answering(c.ignored);
        model.request_state();
        platform.run_for(400);
        serial.sent.clear();
        // Midway between polls, which fall on whole tenths of a second.
        platform.run_for(150 - platform.now() % 100);

        const uint64_t asked = platform.now();
        const Outcome outcome = set(c.command, c.value);
        EXPECT_LE(platform.now() - asked, c.within_ms) << c.what;
        EXPECT_EQ(outcome.kind, c.kind) << c.what << ": " << outcome.reason.toStdString();
        EXPECT_TRUE(outcome.reason.contains(QString::fromLatin1(c.reason))) << c.what << ": " << outcome.reason.toStdString();
        EXPECT_EQ(serial.sent.empty(), c.kind == Kind::Refused) << c.what;
        platform.run_for(1500);
    }
}

TEST_F(UnitModelTest, AValueTheUnitHoldsIsNotSentAgainButAnInputIs)
{
    answering();
    model.request_state();
    platform.run_for(400);
    serial.sent.clear();
    EXPECT_TRUE(set(protocol::kOU, model.state().output_format).ok());
    EXPECT_TRUE(set(protocol::kIN, model.state().input_source).ok());
    EXPECT_EQ(serial.sent_text(), std::vector<std::string>{"IN 0"});
}

TEST_F(UnitModelTest, ALaterChoiceReplacesOneStillWaitingToGoOut)
{
    answering();
    model.request_state();
    platform.run_for(400);
    serial.sent.clear();
    std::vector<Outcome> outcomes;
    auto keep = [&outcomes](const Outcome& o) { outcomes.push_back(o); };
    model.set(protocol::kIN, 1, Door::Control, keep);
    model.set(protocol::kOU, 2, Door::Web, keep);
    model.set(protocol::kOU, 3, Door::Broker, keep);
    platform.run_for(1000);
    ASSERT_EQ(outcomes.size(), 3u);
    EXPECT_EQ(outcomes[0].kind, Kind::Replaced) << "output 2 gave way to output 3";
    EXPECT_TRUE(outcomes[1].ok());
    EXPECT_TRUE(outcomes[2].ok());
    EXPECT_EQ(serial.sent_text(), (std::vector<std::string>{"IN 1", "OU 3"}));
}

TEST_F(UnitModelTest, OnlyRealChangesAreReportedWithTheDoorTheyAnswered)
{
    answering();
    model.request_state();
    platform.run_for(400);
    EXPECT_EQ(reports.size(), protocol::kStateReportOrder.size()) << "the first state is all new";
    reports.clear();

    // The same state read again (a reconnection) changes nothing.
    model.request_state();
    platform.run_for(400);
    EXPECT_TRUE(reports.empty());

    set(protocol::kOU, 6);
    unit.report({'B', 'R', 50});
    serial.receive(Frame{'B', 'R', 50});
    platform.run_for(150);
    EXPECT_EQ(reports, (std::vector<Report>{{'O', 'U', 6, Door::Control}, {'B', 'R', 50, Door::Unit}}));
}

TEST_F(UnitModelTest, TheBypassTakenAwayMovesTheInputToPc)
{
    answering();
    unit.answer({'B', 'Y', 1});
    model.request_state();
    platform.run_for(400);
    ASSERT_TRUE(set(protocol::kIN, protocol::kBypassInput).ok());
    EXPECT_TRUE(set(protocol::kBY, 0).ok());
    EXPECT_EQ(model.state().input_source, 3);
}

}  // namespace
}  // namespace plenvo::testing
