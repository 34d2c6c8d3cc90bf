// plenvo-ctl on a line of its own: the unit model over a scripted line on
// the simulated clock, as `set`, `status` and `load` use it.

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "control/setting_table.h"
#include "ctl/direct_unit.h"
#include "sim/unit.h"
#include "support/fake_serial.h"
#include "support/sim_platform.h"

namespace plenvo::testing {
namespace {

using control::Assignment;

Assignment setting(const char* name, int16_t value)
{
    return {control::find_setting(name), value};
}

struct Rig {
    Rig()
    {
        serial.answer_with(unit);
        error_on_open = direct.open();
    }

    // The unit answers as it would, but takes `asked` as `held`.
    void holds_instead(protocol::Frame asked, uint8_t held)
    {
        serial.on_frame = [this, asked, held](const protocol::Frame& f) {
            const std::vector<protocol::Frame> replies = unit.answer(f == asked ? protocol::Frame{f.first, f.second, held} : f);
            platform.after(20, [this, replies] {
                for (const protocol::Frame& reply : replies)
                    serial.receive(reply);
            });
        };
    }

    std::string apply(std::vector<Assignment> settings)
    {
        std::optional<std::string> error;
        direct.apply(std::move(settings), [&](const std::string& e) { error = e; });
        for (int ms = 0; ms < 10000 && !error; ++ms)
            platform.yield();
        EXPECT_TRUE(error.has_value()) << "apply never ended";
        return error.value_or("");
    }

    ctl::StateRead read_state(bool line_needed_after)
    {
        std::optional<ctl::StateRead> read;
        direct.read_state(line_needed_after, [&](const ctl::StateRead& r) { read = r; });
        for (int ms = 0; ms < 10000 && !read; ++ms)
            platform.yield();
        EXPECT_TRUE(read.has_value()) << "the state read never ended";
        return read.value_or(ctl::StateRead{});
    }

    SimPlatform platform;
    FakeSerial serial{platform};
    sim::Unit unit;
    ctl::DirectUnit direct{platform, serial, QStringLiteral("/dev/ttyUSB7")};
    std::string error_on_open;
};

TEST(CtlDirect, SetSendsInOrderAndNamesWhatTheUnitDidNotTake)
{
    struct Case {
        const char* name;
        std::function<void(Rig&)> before;
        std::vector<Assignment> settings;
        std::string error;
        std::vector<std::string> sent;
    };
    const auto nothing = [](Rig&) {};
    const std::vector<Case> cases = {
        // Nothing is known of the unit yet: the power assumed off at
        // start-up holds nothing back, and nothing is asked first.
        {"answered", nothing, {setting("output", 6), setting("bright", 40)}, "", {"OU 6", "BR 40"}},
        {"a value assumed at start-up is sent all the same", nothing, {setting("bright", 31)}, "", {"BR 31"}},
        {"not answered",
         [](Rig& r) { r.serial.on_frame = nullptr; },
         {setting("power", 0), setting("tint", 3)},
         "the unit did not answer power off; not sent: tint 3",
         {"PW 0", "PW 0", "PW 0", "PW 0", "PW 0"}},
        {"a level the unit does not hold",
         [](Rig& r) { r.holds_instead({'B', 'R', 40}, 39); },
         {setting("bright", 40), setting("volume", 3)},
         "the unit reports bright 39 after bright 40; not sent: volume 3",
         {"BR 40", "AL 0"}},
        {"the power the unit reported off",
         [](Rig& r) {
             r.serial.receive(protocol::Frame{'P', 'W', 0});
             r.platform.run_for(50);
         },
         {setting("output", 6)},
         "the power is off: only power can be set",
         {}},
        {"the line closed",
         [](Rig& r) { r.direct.model().close_port(); },
         {setting("power", 1), setting("output", 6)},
         "/dev/ttyUSB7: the line is closed; not sent: output 720p",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        ASSERT_EQ(rig.error_on_open, "");
        c.before(rig);
        EXPECT_EQ(rig.apply(c.settings), c.error);
        EXPECT_EQ(rig.serial.sent_text(), c.sent);
    }
}

TEST(CtlDirect, StatusEndsWithTheLastReportOrSaysWhatIsMissing)
{
    struct Case {
        const char* name;
        std::function<void(Rig&)> before;
        std::string error;
        uint64_t within_ms;
    };
    const std::vector<Case> cases = {
        {"every setting reported", [](Rig&) {}, "", 200},
        {"a silent unit", [](Rig& r) { r.serial.on_frame = nullptr; },
         "the unit did not answer the state request on /dev/ttyUSB7", 1600},
        {"reports cut short",
         [](Rig& r) {
             r.serial.on_frame = [&r](const protocol::Frame&) {
                 r.serial.receive(protocol::Frame{'P', 'W', 1});
                 r.serial.receive(protocol::Frame{'I', 'N', 2});
             };
         },
         "the unit did not report output, bypass, display, aspect, ir, lock, enhance, nr, osd, blank, freeze, "
         "bright, contrast, color, sharp, tint, volume",
         1600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.unit.report({'B', 'R', 12});
        c.before(rig);
        const uint64_t started = rig.platform.now();
        const ctl::StateRead read = rig.read_state(false);
        EXPECT_EQ(read.error, c.error);
        EXPECT_LE(rig.platform.now() - started, c.within_ms);
        if (c.error.empty()) {
            EXPECT_EQ(read.state.video_br, 12);
            EXPECT_FALSE(rig.direct.model().port_ok()) << "the line is not needed after";
        }
    }
}

TEST(CtlDirect, ALoadReadsTheStateKeepingTheLineThenSendsAndRefusesByIt)
{
    Rig rig;
    rig.unit.report({'P', 'W', 0});
    const ctl::StateRead read = rig.read_state(true);
    ASSERT_EQ(read.error, "");
    EXPECT_TRUE(rig.direct.model().port_ok());
    // What the unit reported now counts: a value it holds is not sent again,
    // and with its power off only power is taken.
    rig.serial.sent.clear();
    EXPECT_EQ(rig.apply({setting("input", 2), setting("bright", 31)}),
              "the power is off: only power can be set; not sent: bright 31");
    EXPECT_TRUE(rig.serial.sent.empty());
    EXPECT_EQ(rig.apply({setting("power", 1), setting("bright", 31), setting("input", 2)}), "");
    EXPECT_EQ(rig.serial.sent_text(), (std::vector<std::string>{"PW 1", "IN 2"}));
}

TEST(CtlDirect, ALineThatCannotOpenIsNamed)
{
    SimPlatform platform;
    FakeSerial serial{platform};
    serial.openable = {};
    serial.error = QStringLiteral("/dev/ttyUSB7: No such file or directory");
    ctl::DirectUnit direct{platform, serial, QStringLiteral("/dev/ttyUSB7")};
    EXPECT_EQ(direct.open(), "/dev/ttyUSB7: No such file or directory");
    EXPECT_EQ(serial.open_attempts, 1) << "only the line named is tried";
}

}  // namespace
}  // namespace plenvo::testing
