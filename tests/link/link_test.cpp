// The link on its own, on the simulated clock and without any window: what
// goes on the line, what is stored, and what the owner is told.

#include <gtest/gtest.h>

#include <optional>

#include "unit/link.h"
#include "sim/unit.h"
#include "support/fake_serial.h"
#include "support/sim_platform.h"

namespace plenvo::testing {
namespace {

using protocol::Frame;
using TxResult = Link::TxResult;

class Recorder final : public LinkListener {
public:
    void link_message(const QString& text) override { messages.push_back(text); }
    void link_port_changed() override { ++port_changes; }
    void link_port_failed(int, const QString& reason) override { failures.push_back(reason); }
    void link_frame_applied(const Frame& frame, int) override
    {
        applied.push_back(frame);
        if (on_applied)
            on_applied(frame);
    }
    bool link_awaits_report() const override { return awaits_report; }

    bool said(const char* text) const { return std::ranges::count(messages, QString::fromLatin1(text)) > 0; }

    std::vector<QString> messages;
    std::vector<Frame> applied;
    int port_changes = 0;
    std::vector<QString> failures;
    std::function<void(const Frame&)> on_applied;
    bool awaits_report = false;
};

class LinkAloneTest : public ::testing::Test {
protected:
    LinkAloneTest()
    {
        state.set_start_up_values();
        state.com_port = 1;
        EXPECT_TRUE(link.open_port(1));
    }

    // The unit answers every command like the real one, `delay_ms` later,
    // and then sends `extra` of its own.
    void answering(uint64_t delay_ms = 20, std::vector<Frame> extra = {})
    {
        serial.on_frame = [this, delay_ms, extra](const Frame& command) {
            std::vector<Frame> replies = unit.answer(command);
            replies.insert(replies.end(), extra.begin(), extra.end());
            platform.after(delay_ms, [this, replies] {
                for (const Frame& reply : replies)
                    serial.receive(reply);
            });
        };
    }

    // Asks for a command and runs the message loop until it is settled and
    // off the line; commands kept meanwhile have not gone out yet.
    TxResult send(char first, char second, int value)
    {
        std::optional<TxResult> result;
        link.tx_cmd(uint8_t(first), uint8_t(second), value, [&result](TxResult r) { result = r; });
        for (int ms = 0; ms < 2000 && (!result || state.tx_busy); ++ms)
            platform.yield();
        EXPECT_TRUE(result.has_value());
        return result.value_or(TxResult::Replaced);
    }

    // Asks for a command `delay_ms` from now, from inside whatever waits then.
    void send_later(uint64_t delay_ms, char first, char second, int value)
    {
        platform.after(delay_ms, [=, this] { send(first, second, value); });
    }

    SimPlatform platform;
    FakeSerial serial{platform};
    sim::Unit unit;
    DeviceState state;
    Recorder listener;
    Link link{platform, serial, state, listener};
};

TEST_F(LinkAloneTest, ChoicesMadeWhileACommandWaitsGoOutAfterItTheLatestPerSetting)
{
    answering();
    send_later(50, 'B', 'R', 33);
    send_later(60, 'N', 'R', 0);
    send_later(110, 'B', 'R', 34);
    EXPECT_EQ(send('B', 'R', 32), TxResult::Answered);
    platform.run_for(600);
    EXPECT_EQ(serial.sent_text(), (std::vector<std::string>{"BR 32", "BR 34", "NR 0"}));
    EXPECT_EQ(unit.state().video_br, 34);
    EXPECT_EQ(state.video_br, 34);
    EXPECT_EQ(unit.state().adj_nr, 0);
    EXPECT_FALSE(link.unconfirmed('B', 'R'));
    EXPECT_FALSE(listener.said(kTxFail));
}

TEST_F(LinkAloneTest, TheOkReportsStateRequestIsKeptWhenACommandWaits)
{
    answering(20, {});
    platform.after(30, [this] { serial.receive(Frame{'O', 'K', 0}); });
    EXPECT_EQ(send('P', 'W', 1), TxResult::Answered);
    platform.run_for(1200);
    EXPECT_EQ(serial.sent_with('A', 'L').size(), 1u);
}

TEST_F(LinkAloneTest, TheOkWaitHoldsNeitherThePollNorACommand)
{
    answering();
    serial.receive(Frame{'O', 'K', 0});
    platform.run_for(150);
    // Inside the half second before the state request: a report and a click.
    serial.receive(Frame{'B', 'R', 12});
    platform.run_for(150);
    EXPECT_EQ(state.video_br, 12) << "the poll goes on";
    EXPECT_EQ(send('O', 'U', 3), TxResult::Answered);
    platform.run_for(1000);
    EXPECT_EQ(serial.sent_with('A', 'L').size(), 1u);
    EXPECT_FALSE(listener.said(kTxFail));
}

TEST_F(LinkAloneTest, AnAnswerCountsWhateverElseCameInTheSamePoll)
{
    // This unit follows each reply with a report of another setting.
    answering(20, {Frame{'V', 'O', 9}});
    EXPECT_EQ(send('I', 'N', 2), TxResult::Answered);
    EXPECT_EQ(send('O', 'U', 5), TxResult::Answered);
    EXPECT_EQ(serial.sent.size(), 2u) << "each answered at the first send";
    EXPECT_FALSE(listener.said(kTxFail));
}

TEST_F(LinkAloneTest, WhatIsAwaitedIsAppliedTheMomentItArrivesTheRestAtThePoll)
{
    struct Case {
        const char* what;
        std::optional<Frame> command;  // on the line when the frame arrives
        bool report_awaited;           // the owner waits for a report
        Frame arrives;
        bool at_once;
        size_t sends;
    };
    const Case cases[] = {
        {"the answer to a command", Frame{'P', 'W', 1}, false, Frame{'P', 'W', 1}, true, 1},
        {"another reply while a command waits", Frame{'I', 'N', 2}, false, Frame{'V', 'O', 7}, true, 5},
        {"a report the owner awaits", std::nullopt, true, Frame{'B', 'R', 40}, true, 0},
        {"a report nobody awaits", std::nullopt, false, Frame{'B', 'R', 41}, false, 0},
        {"a report while a level is on the line", Frame{'C', 'O', 9}, false, Frame{'S', 'A', 3}, false, 1},
    };
    for (const Case& c : cases) {
        // Polls fall on whole tenths of a second: the frame comes 20 ms
        // after the command and 70 ms before the next poll.
        platform.run_for(110 - platform.now() % 100);
        serial.sent.clear();
        listener.applied.clear();
        listener.awaits_report = c.report_awaited;
        std::optional<TxResult> result;
        if (c.command)
            link.tx_cmd(c.command->first, c.command->second, c.command->value, [&](TxResult r) { result = r; });
        platform.run_for(20);
        serial.receive(c.arrives);
        platform.run_for(2);
        const auto applied = [&] { return std::ranges::count(listener.applied, c.arrives) == 1; };
        EXPECT_EQ(applied(), c.at_once) << c.what;
        if (c.sends == 1 && c.arrives == *c.command) {
            EXPECT_EQ(result, TxResult::Answered) << c.what << ": told as soon as the answer is in";
            EXPECT_TRUE(state.tx_busy) << c.what << ": the line is free only at the end of its step";
        }
        platform.run_for(80);
        EXPECT_TRUE(applied()) << c.what << ": the poll takes what is left";
        platform.run_for(1000);
        EXPECT_FALSE(state.tx_busy) << c.what;
        EXPECT_EQ(serial.sent.size(), c.sends) << c.what;
    }
}

TEST_F(LinkAloneTest, AnAnswerAppliedJustBeforeTheTimeOutCountsOneJustAfterDoesNot)
{
    // Silent until 0.95 s: the answer waits in the port when the time-out
    // falls due, in the same moment as the next poll.
    platform.after(950, [this] { serial.receive(Frame{'P', 'W', 1}); });
    EXPECT_EQ(send('P', 'W', 1), TxResult::Answered);
    EXPECT_FALSE(listener.said(kTxFail));

    platform.after(1050, [this] { serial.receive(Frame{'P', 'W', 0}); });
    EXPECT_EQ(send('P', 'W', 0), TxResult::Failed);
    EXPECT_TRUE(listener.said(kTxFail));
}

TEST_F(LinkAloneTest, AFailedChoiceStaysUnconfirmedUntilTheUnitAnswersIt)
{
    EXPECT_EQ(send('O', 'U', 6), TxResult::Failed);
    EXPECT_TRUE(link.unconfirmed('O', 'U'));
    EXPECT_FALSE(link.unconfirmed('B', 'R'));
    EXPECT_FALSE(link.unconfirmed('A', 'L')) << "no setting";
    answering();
    EXPECT_EQ(send('O', 'U', 6), TxResult::Answered);
    EXPECT_FALSE(link.unconfirmed('O', 'U'));
}

TEST_F(LinkAloneTest, AnEchoOfAnEarlierValueDoesNotUndoTheLatestChoice)
{
    answering(150);
    // The user goes on to 42 while 32 is on the line.
    platform.after(20, [this] {
        state.video_br = 42;
        send('B', 'R', 42);
    });
    state.video_br = 32;
    EXPECT_EQ(send('B', 'R', 32), TxResult::Answered) << "the echo of 32 answers 32";
    EXPECT_EQ(state.video_br, 42);
    EXPECT_TRUE(std::ranges::find(listener.applied, Frame{'B', 'R', 32}) == listener.applied.end())
        << "nothing shown for it";

    platform.run_for(600);
    EXPECT_EQ(state.video_br, 42);
    EXPECT_EQ(unit.state().video_br, 42);
    EXPECT_FALSE(link.unconfirmed('B', 'R'));

    // Once settled, the unit's own reports show again, whatever the value.
    serial.receive(Frame{'B', 'R', 32});
    platform.run_for(150);
    EXPECT_EQ(state.video_br, 32);
}

TEST_F(LinkAloneTest, BytesReadBeforeThePortWasReopenedAreNotApplied)
{
    // Showing the first frame takes a while and meanwhile the port is
    // reopened; the unit's later report must not be overtaken by the old
    // rest of the first read.
    listener.on_applied = [this](const Frame& frame) {
        if (frame == Frame{'P', 'W', 1}) {
            link.open_port(1);
            platform.after(300, [this] { serial.receive(Frame{'P', 'W', 0}); });
        }
    };
    serial.receive(Frame{'P', 'W', 1});
    serial.receive(Frame{'O', 'U', 2});
    platform.run_for(700);
    EXPECT_EQ(listener.applied, (std::vector<Frame>{{'P', 'W', 1}, {'P', 'W', 0}}));
    EXPECT_EQ(state.power_state, 0);
    EXPECT_NE(state.output_format, 2);
    EXPECT_TRUE(link.timRx().enabled());
}

TEST_F(LinkAloneTest, EachPortKeepsItsOwnReasonForNotWorking)
{
    serial.openable = {};
    serial.error = "/dev/ttyUSB0: no such device";
    EXPECT_FALSE(link.open_port(1));
    serial.error = "/dev/ttyS1: permission denied";
    EXPECT_FALSE(link.open_port(2));
    EXPECT_EQ(link.line_problem(1), "/dev/ttyUSB0: no such device");
    EXPECT_EQ(link.line_problem(2), "/dev/ttyS1: permission denied");
    EXPECT_EQ(listener.failures, (std::vector<QString>{"/dev/ttyUSB0: no such device", "/dev/ttyS1: permission denied"}));
    EXPECT_TRUE(listener.said("COM2: can't work !"));
}

TEST_F(LinkAloneTest, ALostNetworkLineIsTriedAgainLessAndLessOften)
{
    serial.network = true;
    // Held long enough not to look taken over by another client.
    platform.run_for(5000);
    serial.error = "socket://10.0.0.9:4999: connection refused";
    serial.lose_device();
    serial.openable = {};
    platform.run_for(150);
    std::vector<int> per_ten_seconds;
    for (int i = 0; i < 4; ++i) {
        const int at_start = serial.open_attempts;
        platform.run_for(10000);
        per_ten_seconds.push_back(serial.open_attempts - at_start);
    }
    EXPECT_EQ(per_ten_seconds, (std::vector<int>{3, 1, 1, 1})) << "after 1, 2, 4 and 8 s, then every 10 s";
    EXPECT_TRUE(link.line_problem(1).contains("connection refused"));
    EXPECT_TRUE(link.line_problem(1).contains("every 10 s"));

    // The far end is back: reopened, asked for its state.
    serial.openable = {1};
    answering();
    platform.run_for(11000);
    EXPECT_TRUE(state.port_ok);
    EXPECT_EQ(serial.sent_with('A', 'L').size(), 1u);
    EXPECT_TRUE(link.line_problem(1).isEmpty());
}

TEST_F(LinkAloneTest, ALostDeviceClosesThePortAndSaysSo)
{
    serial.lose_device();
    platform.run_for(150);
    EXPECT_FALSE(state.port_ok);
    EXPECT_GT(listener.port_changes, 0);
    EXPECT_TRUE(listener.said("COM1: can't work !"));
    EXPECT_EQ(send('P', 'W', 1), TxResult::Refused);
}

// When each frame of a command went out, in virtual milliseconds.
std::vector<uint64_t> send_times(const FakeSerial& serial, char first, char second)
{
    std::vector<uint64_t> times;
    for (const FakeSerial::Sent& s : serial.sent)
        if (s.frame.first == uint8_t(first) && s.frame.second == uint8_t(second))
            times.push_back(s.at);
    return times;
}

TEST_F(LinkAloneTest, ASilentUnitIsAskedEveryFifthOfASecondUntilTheTimeOutAlsoAcrossAWrapOfTheTicks)
{
    for (const uint32_t start_tick : {0u, 0xFFFFFF00u}) {
        SimPlatform clock(start_tick);
        FakeSerial line{clock};
        DeviceState s;
        Recorder told;
        Link silent{clock, line, s, told};
        ASSERT_TRUE(silent.open_port(1));
        std::optional<TxResult> result;
        silent.tx_cmd('P', 'W', 1, [&](TxResult r) { result = r; });
        clock.run_for(1300);

        const std::vector<uint64_t> times = send_times(line, 'P', 'W');
        ASSERT_EQ(times.size(), 5u) << "start tick " << start_tick;
        for (size_t i = 1; i < times.size(); ++i)
            EXPECT_EQ(times[i] - times[i - 1], 200u);
        EXPECT_EQ(result, TxResult::Failed);
        EXPECT_TRUE(told.said(kTxFail));
        EXPECT_FALSE(s.tx_busy);
        EXPECT_FALSE(silent.timTimeOut().enabled());
    }
}

TEST_F(LinkAloneTest, WhatEndsTheWaitForAnAnswer)
{
    // A level is sent once and counts as done; an answer in the first step
    // means one send; a reply of another code does not end the wait.
    EXPECT_EQ(send('B', 'R', 20), TxResult::Answered);
    EXPECT_EQ(serial.sent_text(), std::vector<std::string>{"BR 20"});

    serial.sent.clear();
    platform.after(50, [this] { serial.receive(Frame{'P', 'W', 1}); });
    platform.after(300, [this] { serial.receive(Frame{'I', 'N', 2}); });
    EXPECT_EQ(send('I', 'N', 2), TxResult::Answered);
    EXPECT_EQ(send_times(serial, 'I', 'N').size(), 2u);
    EXPECT_EQ(state.power_state, 1);
    EXPECT_FALSE(listener.said(kTxFail));

    serial.sent.clear();
    answering();
    EXPECT_EQ(send('O', 'U', 2), TxResult::Answered);
    EXPECT_EQ(serial.sent_text(), std::vector<std::string>{"OU 2"});
}

TEST_F(LinkAloneTest, AValueThatDoesNotFitAByteIsRefusedAndLaterCommandsStillGo)
{
    EXPECT_EQ(send('B', 'R', 256), TxResult::Refused);
    EXPECT_EQ(send('B', 'R', -1), TxResult::Refused);
    EXPECT_FALSE(state.tx_busy);
    EXPECT_TRUE(serial.sent.empty());
    EXPECT_EQ(send('B', 'R', 255), TxResult::Answered);
    EXPECT_EQ(serial.sent_text(), std::vector<std::string>{"BR 255"});
}

TEST_F(LinkAloneTest, APortClosedReopenedOrLostDuringTheWaitEndsItAtOnceAsAFailure)
{
    const std::vector<std::pair<const char*, std::function<void()>>> breaks{
        {"another port that cannot work chosen", [this] { link.open_port(2); }},
        {"the same port opened again", [this] { link.open_port(1); }},
        {"the device lost", [this] { serial.lose_device(); }},
    };
    for (const auto& [what, break_line] : breaks) {
        serial.sent.clear();
        link.open_port(1);
        platform.after(50, break_line);
        const uint64_t t0 = platform.now();
        EXPECT_EQ(send('P', 'W', 1), TxResult::Failed) << what;
        EXPECT_LT(platform.now() - t0, 200u) << what;
        EXPECT_EQ(send_times(serial, 'P', 'W').size(), 1u) << what;
        EXPECT_FALSE(state.tx_busy) << what;
        EXPECT_EQ(listener.messages.back(), QString::fromLatin1(kTxFail)) << what;
    }
}

TEST_F(LinkAloneTest, RepliesAreAppliedFrameByFrameWhateverThePollsCut)
{
    // Split across polls: applied once, when whole.
    serial.receive(QByteArray("OU"));
    platform.run_for(100);
    EXPECT_EQ(state.output_format, 0);
    serial.receive(QByteArray("\x03", 1));
    platform.run_for(150);
    EXPECT_EQ(state.output_format, 3);
    EXPECT_EQ(link.rx_code, 4);

    // Two in one poll: both applied, the last code stays; values as received.
    serial.receive(Frame{'O', 'U', 2});
    serial.receive(Frame{'N', 'R', 0});
    serial.receive(Frame{'B', 'R', 200});
    platform.run_for(150);
    EXPECT_EQ(state.output_format, 2);
    EXPECT_EQ(state.adj_nr, 0);
    EXPECT_EQ(state.video_br, 200);
    EXPECT_EQ(link.rx_code, 6);

    // A stray byte is dropped once the line has been quiet, so it does not
    // shift the frames after it.
    serial.receive(QByteArray("\x55", 1));
    platform.run_for(700);
    serial.receive(Frame{'O', 'U', 5});
    platform.run_for(150);
    EXPECT_EQ(state.output_format, 5);

    // Opening a port drops a partial frame.
    serial.receive(QByteArray("OU"));
    platform.run_for(150);
    link.open_port(1);
    serial.receive(Frame{'N', 'R', 1});
    platform.run_for(150);
    EXPECT_EQ(state.adj_nr, 1);
    EXPECT_EQ(state.output_format, 5);
}

TEST_F(LinkAloneTest, UnknownLettersStoreNothingAndNeverPoseAsAReplyCode)
{
    const DeviceState before = state;
    // Value bytes that are reply codes: were they taken as the code, a
    // waiting command could end.
    for (const Frame frame : {Frame{'F', 'X', 4}, Frame{'A', 'X', 2}, Frame{'B', 'X', 1}, Frame{'Z', 'Z', 1}}) {
        serial.receive(frame);
        platform.run_for(150);
        EXPECT_EQ(link.rx_code, protocol::kNoCode);
    }
    EXPECT_EQ(state, before);

    serial.receive(Frame{'R', 'E', 0});
    platform.run_for(150);
    EXPECT_EQ(link.rx_code, protocol::kResetCode);
    EXPECT_EQ(state, before);
}

TEST_F(LinkAloneTest, AnOkReportAsksForTheStateHalfASecondLater)
{
    const uint64_t ok_sent = platform.now();
    serial.receive(Frame{'O', 'K', 0});
    platform.run_for(1200);
    // Half a second after the poll that finds it, and polls are 0.1 s apart.
    const std::vector<uint64_t> times = send_times(serial, 'A', 'L');
    ASSERT_EQ(times.size(), 1u);
    EXPECT_GT(times[0] - ok_sent, 500u);
    EXPECT_LT(times[0] - ok_sent, 650u);
}

TEST_F(LinkAloneTest, ACommandAskedForFromTheOutcomeOfAnotherGoesOutWhole)
{
    answering();
    // A level needs no answer: it ends at the first 0.2 s step, and its
    // outcome asks for the state, as the unit model does to confirm it.
    std::vector<std::pair<std::string, TxResult>> outcomes;
    link.tx_cmd('B', 'R', 40, [&](TxResult first) {
        outcomes.emplace_back("BR", first);
        link.request_state([&](TxResult second) { outcomes.emplace_back("AL", second); });
    });
    platform.run_for(1500);
    EXPECT_EQ(outcomes, (std::vector<std::pair<std::string, TxResult>>{{"BR", TxResult::Answered},
                                                                        {"AL", TxResult::Answered}}));
    EXPECT_EQ(serial.sent_text(), (std::vector<std::string>{"BR 40", "AL 0"}));
    EXPECT_TRUE(link.idle());
}

// A network line opens at once and connects afterwards.
class ConnectingLinkTest : public LinkAloneTest {
protected:
    ConnectingLinkTest() { serial.network = true; }

    // Runs the clock until the port is open, at most `ms`; when.
    std::optional<uint64_t> run_until_open(uint64_t ms)
    {
        for (const uint64_t end = platform.now() + ms; platform.now() < end; platform.yield())
            if (state.port_ok)
                return platform.now();
        return std::nullopt;
    }
};

TEST_F(ConnectingLinkTest, CommandsWaitForTheConnectionAndGoOutRightAfterItOrAreRefusedWhenItFails)
{
    const QString refused = "socket://127.0.0.1:4999: connection refused";
    enum class Then { Answers, IsSilent, IsRefused };
    for (const Then then : {Then::Answers, Then::IsSilent, Then::IsRefused}) {
        SCOPED_TRACE(int(then));
        serial.on_frame = nullptr;
        if (then != Then::IsSilent)
            answering();
        listener.messages.clear();
        serial.sent.clear();
        serial.connects_later = true;
        ASSERT_TRUE(link.open_port(1));
        EXPECT_TRUE(state.port_ok) << "shown open while it connects";
        std::optional<TxResult> ou;
        link.request_state();
        link.tx_cmd('O', 'U', 3, [&ou](TxResult r) { ou = r; });
        // Longer than a command's time-out and the unit's second to answer.
        platform.run_for(1500);
        EXPECT_TRUE(serial.sent.empty() && !ou && listener.messages.size() == 1u);

        const uint64_t settled = platform.now();
        serial.settle_connection(then == Then::IsRefused ? refused : QString());
        platform.run_for(900);
        EXPECT_FALSE(listener.said("COM1: no answer !")) << "the unit's second counts from the connection";
        platform.run_for(1600);
        if (then == Then::IsRefused) {
            EXPECT_EQ(ou, TxResult::Refused);
            EXPECT_EQ(listener.messages.back(), "COM1: can't work !");
            EXPECT_EQ(listener.failures.back(), refused);
            EXPECT_EQ(link.line_problem(1), refused) << "as an opening that fails at once";
            const int attempts = serial.open_attempts;
            platform.run_for(30000);
            EXPECT_EQ(serial.open_attempts, attempts) << "not tried again";
            continue;
        }
        EXPECT_LE(serial.sent.at(0).at - settled, 1u) << "the state request goes out at once";
        EXPECT_EQ(serial.sent_with('O', 'U').size(), then == Then::Answers ? 1u : 5u);
        EXPECT_EQ(ou, then == Then::Answers ? TxResult::Answered : TxResult::Failed);
        EXPECT_EQ(listener.said("COM1: no answer !"), then == Then::IsSilent);
    }
}

TEST_F(ConnectingLinkTest, AReconnectionIsShownOnlyOnceConnectedAndAFailedOneIsTriedAgainLater)
{
    platform.run_for(5000);
    serial.connects_later = true;
    serial.lose_device();
    answering();
    for (const QString failure : {"socket://127.0.0.1:4999: connection refused", ""}) {
        platform.run_for(150);
        const QString problem = link.line_problem(1);
        // The next attempt, a second after the loss or two after the refusal.
        for (int ms = 0; ms < 2500 && !serial.connecting(); ++ms)
            platform.yield();
        ASSERT_TRUE(serial.connecting());
        platform.run_for(500);
        EXPECT_FALSE(state.port_ok) << "shown open only once connected";
        EXPECT_EQ(link.line_problem(1), problem);
        serial.settle_connection(failure);
        platform.run_for(10);
        EXPECT_EQ(state.port_ok, failure.isEmpty());
    }
    EXPECT_EQ(serial.sent_text(), (std::vector<std::string>{"AL 0"}));
    EXPECT_TRUE(listener.messages.back().isEmpty());
    EXPECT_TRUE(link.line_problem(1).isEmpty());
}

TEST_F(ConnectingLinkTest, ALineCutOffRightAfterConnectingAgainWaitsLongerAndSaysAnotherClientHoldsIt)
{
    struct Round {
        uint64_t held_ms;
        uint64_t wait_s;
        bool another_client;
        bool retry_refused = false;
    };
    // Each time it gets the line back it is cut off again after `held_ms`.
    const Round rounds[] = {
        {1000, 1, false},  // once may be a server that restarted
        {1000, 10, true}, {1500, 20, true}, {500, 40, true}, {1000, 60, true}, {1000, 60, true},
        {5000, 1, false},  // held for a while: a far end that went away
        {1000, 1, false}, {1000, 10, true},  // and the waits start again
        {1000, 30, true, true},  // refused after 20 s, then 10 s: the far end is away, not held
        {1000, 1, false},
    };
    for (const Round& round : rounds) {
        SCOPED_TRACE(round.held_ms);
        platform.after(round.held_ms, [this] { serial.lose_device(); });
        for (int ms = 0; ms < 10000 && state.port_ok; ++ms)
            platform.yield();
        const uint64_t cut = platform.now();
        EXPECT_EQ(listener.failures.back().contains("another client holds the line"), round.another_client);
        EXPECT_EQ(link.line_problem(1).contains("another client holds the line"), round.another_client);
        if (round.retry_refused) {
            serial.openable = {};
            for (int ms = 0; ms < 70000 && link.line_problem(1).contains("another client"); ++ms)
                platform.yield();
            serial.openable = {1};
        }
        const std::optional<uint64_t> back = run_until_open(70000);
        ASSERT_TRUE(back);
        EXPECT_EQ((*back - cut) / 1000, round.wait_s);
    }
}

}  // namespace
}  // namespace plenvo::testing
