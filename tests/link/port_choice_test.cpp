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
        QObject::connect(&model, &UnitModel::port_failed,
                         [this](int port, const QString& reason) { failures.push_back({port, reason}); });
        QObject::connect(&model, &UnitModel::message, [this](const QString& text) { messages.push_back(text); });
    }

    // When each state request went out.
    std::vector<uint64_t> state_requests() const
    {
        std::vector<uint64_t> times;
        for (const FakeSerial::Sent& s : serial.sent)
            if (s.frame.first == 'A' && s.frame.second == 'L')
                times.push_back(s.at);
        return times;
    }

    SimPlatform platform;
    FakeSerial serial{platform};
    sim::Unit unit;
    UnitModel model{platform, serial};
    std::vector<std::pair<int, QString>> failures;
    std::vector<QString> messages;
};

TEST_F(PortChoiceTest, StartUpFallsBackOnceWhenTheSavedNetworkLineCannotConnect)
{
    const QString refused = "socket://127.0.0.1:4999: connection refused";
    enum class Then { Fails, Connects, PortPickedThenFails, BothFail };
    struct Case {
        const char* what;
        Then then;
        int port;
        bool open;
        std::vector<int> failed_ports;
    };
    const Case cases[] = {
        {"the saved port fails: the other one is opened", Then::Fails, 2, true, {1}},
        {"the saved port connects: it stays", Then::Connects, 1, true, {}},
        {"a port picked meanwhile is kept", Then::PortPickedThenFails, 1, false, {1}},
        {"both fail: no third attempt", Then::BothFail, 2, false, {1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        model.close_port();
        serial.network = true;
        serial.connects_later = true;
        serial.sent.clear();
        failures.clear();
        messages.clear();

        ASSERT_TRUE(model.open_start_up_port(1));
        EXPECT_EQ(model.port(), 1);
        model.request_state();  // as the windows do once shown
        if (c.then == Then::PortPickedThenFails) {
            platform.run_for(100);
            model.choose_port(1);
        }
        platform.run_for(300);
        if (c.then == Then::Connects)
            serial.connect_now();
        else
            serial.fail_connection(refused);
        platform.run_for(10);
        if (c.then == Then::Fails)
            serial.connect_now();
        if (c.then == Then::BothFail)
            serial.fail_connection(refused);
        platform.run_for(1000);

        EXPECT_EQ(model.port(), c.port);
        EXPECT_EQ(model.port_ok(), c.open);
        std::vector<int> failed_ports;
        for (const auto& [port, reason] : failures)
            failed_ports.push_back(port);
        EXPECT_EQ(failed_ports, c.failed_ports);
        EXPECT_EQ(state_requests().size(), c.open ? 1u : 0u) << "the port that opened is asked for the state";
        if (!c.open) {
            EXPECT_EQ(messages.back(), QStringLiteral("COM%1: can't work !").arg(c.port));
        }
        // Losing it later falls back no more.
        serial.lose_device();
        platform.run_for(300);
        EXPECT_EQ(model.port(), c.port);
    }
}

TEST_F(PortChoiceTest, ASerialPortThatCannotWorkFallsBackAtOnce)
{
    serial.openable = {2};
    EXPECT_TRUE(model.open_start_up_port(1));
    EXPECT_EQ(model.port(), 2);
    EXPECT_TRUE(model.port_ok());
    EXPECT_EQ(serial.open_attempts, 2);
    EXPECT_TRUE(state_requests().empty()) << "the windows ask once shown";
}

TEST_F(PortChoiceTest, APortPickedWhileTheReconnectionsStateRequestIsOnTheLineAsksAgainAtOnce)
{
    for (const int picked : {1, 2}) {
        SCOPED_TRACE(picked);
        ASSERT_TRUE(model.open_start_up_port(1));
        model.request_state();
        platform.run_for(2000);
        // Unplugged and back: the link opens it again by itself and asks.
        serial.lose_device();
        for (int ms = 0; ms < 3000 && state_requests().size() < 2; ++ms)
            platform.yield();
        ASSERT_EQ(state_requests().size(), 2u);
        ASSERT_FALSE(model.idle()) << "the reconnection's state request is on the line";

        platform.run_for(50);
        model.choose_port(picked);
        EXPECT_EQ(state_requests(), (std::vector<uint64_t>{state_requests()[0], state_requests()[1], platform.now()}));
        platform.run_for(1500);
        EXPECT_EQ(state_requests().size(), 3u);
        EXPECT_EQ(model.port(), picked);
        serial.sent.clear();
    }
}

}  // namespace
}  // namespace plenvo::testing
