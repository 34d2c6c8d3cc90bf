// The serial link under the windows on the simulated clock: port opening,
// command frames and their answers, reply polling and parsing.

#include <QLabel>

#include "support/panel_fixture.h"

namespace plenvo::testing {
namespace {

using protocol::Frame;

class LinkTest : public PanelTest {
protected:
    // Sends a command the way the model does and runs the clock until its
    // outcome is known: whether the unit answered it.
    bool send(char first, char second, int value)
    {
        std::optional<Link::TxResult> result;
        model.link().tx_cmd(uint8_t(first), uint8_t(second), value, [&](Link::TxResult r) { result = r; });
        const uint64_t until = platform.now() + 3000;
        while (!result && platform.now() < until)
            platform.yield();
        return result == Link::TxResult::Answered;
    }

    std::vector<uint64_t> send_times(char first, char second) const
    {
        std::vector<uint64_t> times;
        for (const FakeSerial::Sent& s : serial.sent)
            if (s.frame.first == uint8_t(first) && s.frame.second == uint8_t(second))
                times.push_back(s.at);
        return times;
    }
};

TEST_F(LinkTest, StartUpOpensThePortAndSyncsTheStateThroughAl)
{
    unit.answer({'O', 'U', 6});
    unit.answer({'B', 'R', 40});
    start();

    EXPECT_EQ(serial.comm_port, 1);
    EXPECT_EQ(serial.input_mode, 1);
    EXPECT_EQ(serial.input_len, 0);
    EXPECT_TRUE(state.port_ok);
    EXPECT_TRUE(model.link().timRx().enabled());
    EXPECT_FALSE(model.link().timTimeOut().enabled());
    ASSERT_EQ(serial.sent_text(), std::vector<std::string>{"AL 0"});
    EXPECT_EQ(state.power_state, 1);
    EXPECT_EQ(state.output_format, 6);
    EXPECT_EQ(state.video_br, 40);
    EXPECT_EQ(picture(19), "com1_on");
    EXPECT_EQ(picture(12), "720p_on");
    EXPECT_EQ(frm->message(), "");
}

TEST_F(LinkTest, StartUpFallsBackOnceToTheOtherPort)
{
    write_settings("0\r\n0\r\n1\r\n");
    serial.openable = {2};
    start();
    EXPECT_EQ(state.com_port, 2);
    EXPECT_TRUE(state.port_ok);
    EXPECT_EQ(picture(19), "com1_off");
    EXPECT_EQ(picture(20), "com2_on");
    // The message of the first failure is cleared by the second attempt.
    EXPECT_EQ(frm->message(), "");
}

TEST_F(LinkTest, StartUpWithNoPortShowsTheLastFailureAndSendsNothing)
{
    write_settings("0\r\n0\r\n2\r\n");
    serial.openable = {};
    start();
    EXPECT_EQ(state.com_port, 1);
    EXPECT_FALSE(state.port_ok);
    EXPECT_FALSE(model.link().timRx().enabled());
    EXPECT_EQ(frm->message(), "COM1: can't work !");
    EXPECT_EQ(picture(19), "com1_err");
    EXPECT_EQ(picture(20), "com2_off");
    EXPECT_TRUE(serial.sent.empty());
}

TEST_F(LinkTest, AnOddPortNumberIsTriedAsItIsThenPortOne)
{
    write_settings("0\r\n0\r\n3\r\n");
    serial.openable = {};
    start();
    EXPECT_EQ(state.com_port, 1);
    EXPECT_EQ(picture(19), "com1_err");
}

TEST_F(LinkTest, ASilentUnitIsAskedEveryFifthOfASecondUntilTheTimeOut)
{
    start(false);
    forget_sent();
    const uint64_t t0 = platform.now();
    EXPECT_FALSE(send('P', 'W', 1));

    const std::vector<uint64_t> times = send_times('P', 'W');
    ASSERT_EQ(times.size(), 5u);
    for (size_t i = 1; i < times.size(); ++i) {
        EXPECT_GE(times[i] - times[i - 1], 200u);
        EXPECT_LE(times[i] - times[i - 1], 201u);
    }
    EXPECT_GE(platform.now() - t0, 1000u);
    EXPECT_LT(platform.now() - t0, 1300u);
    EXPECT_EQ(frm->message(), QString::fromLatin1(kTxFail));
    EXPECT_FALSE(state.tx_busy);
    EXPECT_FALSE(model.link().timTimeOut().enabled());
}

TEST_F(LinkTest, ACommandWithoutAReplyCodeIsSentOnceAndSucceeds)
{
    start(false);
    forget_sent();
    EXPECT_TRUE(send('B', 'R', 20));
    EXPECT_EQ(serial.sent_text(), std::vector<std::string>{"BR 20"});
    EXPECT_NE(frm->message(), QString::fromLatin1(kTxFail));
}

TEST_F(LinkTest, AReplyWithinTheFirstFifthOfASecondMeansOneSend)
{
    start();
    forget_sent();
    EXPECT_TRUE(send('I', 'N', 2));
    EXPECT_EQ(serial.sent_text(), std::vector<std::string>{"IN 2"});
    EXPECT_EQ(state.input_source, 2);
}

TEST_F(LinkTest, AReplyWithAnotherCodeDoesNotEndTheWait)
{
    start(false);
    forget_sent();
    platform.after(50, [this] { serial.receive(Frame{'P', 'W', 1}); });
    platform.after(300, [this] { serial.receive(Frame{'I', 'N', 2}); });
    EXPECT_TRUE(send('I', 'N', 2));
    EXPECT_EQ(send_times('I', 'N').size(), 2u);
    EXPECT_EQ(state.power_state, 1);
}

TEST_F(LinkTest, ACommandWhileAnotherWaitsGoesOutOnceTheLineIsFree)
{
    start(false);
    forget_sent();
    std::vector<Link::TxResult> inner_results;
    const auto record = [&](Link::TxResult r) { inner_results.push_back(r); };
    platform.after(50, [&] { model.link().tx_cmd('D', 'I', 0, record); });
    platform.after(80, [&] { model.link().tx_cmd('D', 'I', 1, record); });
    send('P', 'W', 1);
    EXPECT_TRUE(send_times('D', 'I').empty()) << "one command on the line at a time";
    EXPECT_EQ(inner_results, std::vector{Link::TxResult::Replaced}) << "the first value is replaced, not sent";
    platform.run_for(50);
    const std::vector<Frame> display = serial.sent_with('D', 'I');
    ASSERT_FALSE(display.empty());
    EXPECT_TRUE(std::ranges::all_of(display, [](const Frame& f) { return f.value == 1; })) << "the latest value wins";
}

TEST_F(LinkTest, AValueThatDoesNotFitAByteIsRefusedAndLaterCommandsStillGo)
{
    start();
    forget_sent();
    EXPECT_FALSE(send('B', 'R', 256));
    EXPECT_FALSE(send('B', 'R', -1));
    EXPECT_FALSE(state.tx_busy);
    EXPECT_TRUE(serial.sent.empty());
    EXPECT_TRUE(send('B', 'R', 255));
    EXPECT_EQ(serial.sent_text(), std::vector<std::string>{"BR 255"});
}

TEST_F(LinkTest, TheWaitIsRightAcrossAWrapOfTheTickCounter)
{
    SimPlatform wrapping(0xFFFFFF00u);
    float waited_from = float(wrapping.now());
    wait_seconds(wrapping, 0.2f);
    EXPECT_GT(float(wrapping.now()) - waited_from, 200.0f);
    EXPECT_LT(float(wrapping.now()) - waited_from, 210.0f);

    // Zero waits at least a millisecond; a negative time does not wait.
    const uint64_t before = wrapping.now();
    wait_seconds(wrapping, 0.0f);
    EXPECT_GE(wrapping.now() - before, 1u);
    const uint64_t later = wrapping.now();
    wait_seconds(wrapping, -1.0f);
    EXPECT_EQ(wrapping.now(), later);
}

TEST_F(LinkTest, APortClosedDuringTheWaitEndsItAtOnceAsAFailure)
{
    start(false);
    forget_sent();
    // The user picks COM2, which cannot be opened, while PW waits.
    platform.after(50, [this] { click(20); });
    const uint64_t t0 = platform.now();
    EXPECT_FALSE(send('P', 'W', 1));
    EXPECT_LT(platform.now() - t0, 200u);
    EXPECT_EQ(send_times('P', 'W').size(), 1u);
    EXPECT_FALSE(state.tx_busy);
    // The command's failure shows first, then why the port cannot work.
    EXPECT_EQ(frm->message(), "COM2: can't work !");
}

TEST_F(LinkTest, APortReopenedDuringTheWaitEndsItToo)
{
    start(false);
    forget_sent();
    platform.after(50, [this] { click(19); });
    EXPECT_FALSE(send('P', 'W', 1));
    EXPECT_EQ(send_times('P', 'W').size(), 1u);
    EXPECT_TRUE(state.port_ok);
    // The line is the state request's now: the port was chosen again.
    EXPECT_EQ(serial.sent_text(), (std::vector<std::string>{"PW 1", "AL 0"}));
}

TEST_F(LinkTest, ALostDeviceIsReportedAndTriedAgainUntilItIsBack)
{
    start();
    serial.lose_device();
    serial.openable = {};
    platform.run_for(150);
    EXPECT_FALSE(state.port_ok);
    EXPECT_FALSE(model.link().timRx().enabled());
    EXPECT_EQ(frm->message(), "COM1: can't work !");
    EXPECT_EQ(picture(19), "com1_err");
    EXPECT_TRUE(frm->img_btn(19)->toolTip().contains("tried again every 1 s"));

    platform.run_for(3000);
    EXPECT_FALSE(state.port_ok);
    // Meanwhile the unit was switched off at its own front panel.
    unit.report({'P', 'W', 0});
    forget_sent();
    serial.openable = {1};
    platform.run_for(1500);
    EXPECT_TRUE(state.port_ok);
    EXPECT_EQ(picture(19), "com1_on");
    EXPECT_EQ(frm->message(), "");
    EXPECT_EQ(serial.sent_text(), std::vector<std::string>{"AL 0"});
    EXPECT_EQ(state.power_state, 0) << "the windows show the unit as it is now";
    EXPECT_EQ(picture(0), "power_off");
}

TEST_F(LinkTest, PickingAPortAsksTheUnitForItsState)
{
    start();
    unit.report({'O', 'U', 5});
    forget_sent();
    press(19);
    platform.run_for(300);
    EXPECT_EQ(serial.sent_text(), std::vector<std::string>{"AL 0"});
    EXPECT_EQ(state.output_format, 5);
    EXPECT_EQ(picture(8), "576p_on");
}

TEST_F(LinkTest, AUnitThatAnswersNothingIsNamedAndTheTooltipSaysWhatToCheck)
{
    start(false);
    EXPECT_TRUE(state.port_ok);
    EXPECT_EQ(frm->message(), "COM1: no answer !");
    EXPECT_TRUE(frm->img_btn(19)->toolTip().contains("switched on"));

    // Once the unit speaks, the hint goes.
    report('P', 'W', 1);
    EXPECT_EQ(frm->img_btn(19)->toolTip(), "Port COM1");
}

TEST_F(LinkTest, ADeviceLostDuringAWaitEndsItAsAFailure)
{
    start(false);
    platform.after(50, [this] { serial.lose_device(); });
    EXPECT_FALSE(send('P', 'W', 1));
    EXPECT_FALSE(state.tx_busy);
}

TEST_F(LinkTest, AReplySplitAcrossPollsIsAppliedOnce)
{
    start();
    report('P', 'W', 1);
    serial.receive(QByteArray("OU"));
    platform.run_for(100);
    EXPECT_EQ(state.output_format, 0);
    serial.receive(QByteArray("\x03", 1));
    platform.run_for(150);
    EXPECT_EQ(state.output_format, 3);
    EXPECT_EQ(model.link().rx_code, 4);
}

TEST_F(LinkTest, TwoRepliesInOnePollAreBothAppliedAndTheLastCodeStays)
{
    start();
    serial.receive(Frame{'O', 'U', 2});
    serial.receive(Frame{'N', 'R', 0});
    platform.run_for(150);
    EXPECT_EQ(state.output_format, 2);
    EXPECT_EQ(state.adj_nr, 0);
    EXPECT_EQ(model.link().rx_code, 14);
}

TEST_F(LinkTest, AnOkReportAsksForTheStateHalfASecondLater)
{
    start();
    forget_sent();
    const uint64_t ok_sent = platform.now();
    serial.receive(Frame{'O', 'K', 0});
    platform.run_for(1200);
    // Half a second after the poll that finds it, and polls are 0.1 s apart.
    const std::vector<uint64_t> times = send_times('A', 'L');
    ASSERT_EQ(times.size(), 1u);
    EXPECT_GT(times[0] - ok_sent, 500u);
    EXPECT_LT(times[0] - ok_sent, 650u);
}

TEST_F(LinkTest, UnknownLettersStoreNothingAndNeverPoseAsAReplyCode)
{
    start();
    const DeviceState before = state;
    // Value bytes that are reply codes: were they taken as the code, a
    // waiting command could end, or a window be toggled.
    for (const Frame frame : {Frame{'F', 'X', 4}, Frame{'A', 'X', 2}, Frame{'B', 'X', 1}, Frame{'Z', 'Z', 1}}) {
        serial.receive(frame);
        platform.run_for(150);
        EXPECT_EQ(model.link().rx_code, protocol::kNoCode);
    }
    EXPECT_EQ(state, before);

    serial.receive(Frame{'R', 'E', 0});
    platform.run_for(150);
    EXPECT_EQ(model.link().rx_code, protocol::kResetCode);
    EXPECT_EQ(state, before);
}

TEST_F(LinkTest, AStrayByteDoesNotShiftTheFramesAfterIt)
{
    start();
    serial.receive(QByteArray("\x55", 1));
    platform.run_for(700);
    serial.receive(Frame{'O', 'U', 5});
    platform.run_for(150);
    EXPECT_EQ(state.output_format, 5);
}

TEST_F(LinkTest, OpeningAPortDropsAPartialFrame)
{
    start();
    serial.receive(QByteArray("OU"));
    platform.run_for(150);
    press(19);
    serial.receive(Frame{'N', 'R', 0});
    platform.run_for(150);
    EXPECT_EQ(state.adj_nr, 0);
    EXPECT_EQ(state.output_format, 0);
}

TEST_F(LinkTest, ValuesFromTheUnitAreStoredAsReceived)
{
    start();
    report('P', 'W', 2);
    report('B', 'R', 200);
    EXPECT_EQ(state.power_state, 2);
    EXPECT_EQ(state.video_br, 200);
}

}  // namespace
}  // namespace plenvo::testing
