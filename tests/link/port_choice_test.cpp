// The model's ports on the simulated clock: start-up's fall-back to the
// other port when the saved one is a network line that cannot connect, and
// the state request of a port the user picks.

#include <gtest/gtest.h>

#include "unit/unit_model.h"
#include "sim/unit.h"
#include "support/fake_serial.h"
#include "support/sim_platform.h"

namespace plenvo::testing {
namespace {

class PortChoiceTest : public ::testing::Test {
protected:
    PortChoiceTest()
    {
        serial.openable = {1, 2};
        serial.answer_with(unit);
        QObject::connect(&model, &UnitModel::port_failed, [this](int port, const QString&) { failed.push_back(port); });
    }

    SimPlatform platform;
    FakeSerial serial{platform};
    sim::Unit unit;
    UnitModel model{platform, serial};
    std::vector<int> failed;
};

TEST_F(PortChoiceTest, StartUpFallsBackOnceWhenTheSavedNetworkLineCannotConnect)
{
    enum class Then { Fails, Connects, PortPickedThenFails, BothFail };
    struct Case {
        Then then;
        int port;
        bool open;
        std::vector<int> failed;
    };
    const Case cases[] = {
        {Then::Fails, 2, true, {1}},
        {Then::Connects, 1, true, {}},
        {Then::PortPickedThenFails, 1, false, {1}},  // the user's choice is kept
        {Then::BothFail, 2, false, {1, 2}},          // no third attempt
    };
    serial.network = true;
    serial.connects_later = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.then));
        model.close_port();
        serial.sent.clear();
        failed.clear();
        ASSERT_TRUE(model.open_start_up_port(1));
        model.request_state();  // as the windows do once shown
        if (c.then == Then::PortPickedThenFails)
            model.choose_port(1);
        platform.run_for(300);
        serial.settle_connection(c.then == Then::Connects ? "" : "refused");
        platform.run_for(10);
        serial.settle_connection(c.then == Then::BothFail ? "refused" : "");
        platform.run_for(1000);

        EXPECT_EQ(model.port(), c.port);
        EXPECT_EQ(model.port_ok(), c.open);
        EXPECT_EQ(failed, c.failed);
        EXPECT_EQ(serial.sent_with('A', 'L').size(), c.open ? 1u : 0u) << "the port that opened is asked";
    }
}

TEST_F(PortChoiceTest, APortPickedWhileTheReconnectionsStateRequestIsOnTheLineAsksAgainAtOnce)
{
    for (const int picked : {1, 2}) {
        SCOPED_TRACE(picked);
        ASSERT_TRUE(model.open_start_up_port(1));
        platform.run_for(2000);
        // Unplugged and back: the link opens it again by itself and asks.
        serial.sent.clear();
        serial.lose_device();
        for (int ms = 0; ms < 3000 && serial.sent.empty(); ++ms)
            platform.yield();
        ASSERT_FALSE(model.idle()) << "the reconnection's state request is on the line";

        platform.run_for(50);
        model.choose_port(picked);
        EXPECT_EQ(serial.sent.back().at, platform.now());
        platform.run_for(1500);
        EXPECT_EQ(serial.sent_text(), (std::vector<std::string>{"AL 0", "AL 0"}));
        EXPECT_EQ(model.port(), picked);
    }
}

}  // namespace
}  // namespace plenvo::testing
