// Windows closed, and the program ended, while a handler of theirs is
// still waiting on the stack. Run under AddressSanitizer, any use of a
// destroyed window fails these tests.

#include <QScrollBar>

#include "support/panel_fixture.h"

namespace plenvo::testing {
namespace {

class ReentrancyTest : public PanelTest {
protected:
    void SetUp() override
    {
        start();
        power_on_with_companions();
        // From here the unit is silent, so every awaited command waits the
        // full second.
        serial.on_frame = nullptr;
        forget_sent();
    }

    // Runs `action` once, from inside the first yield made while a reply
    // is being shown.
    void during_mirror(std::function<void()> action)
    {
        auto done = std::make_shared<bool>(false);
        for (uint64_t ms = 1; ms < 400; ++ms)
            platform.after(ms, [this, done, action] {
                if (!*done && !state.user_action) {
                    *done = true;
                    action();
                }
            });
    }

    void drag_thumb(int index, int value)
    {
        frm->frm_video()->hsr_video(index)->setSliderPosition(value);
        frm->frm_video()->hsr_video_Scroll(index);
    }

    QPointer<FrmAdj> adj() const { return frm->frm_adj(); }
    QPointer<FrmVideo> video() const { return frm->frm_video(); }
};

TEST_F(ReentrancyTest, ClosingTheAdjustmentWindowWhileItsCommandWaits)
{
    QPointer<FrmAdj> window = adj();
    bool hidden_while_waiting = false;
    platform.after(50, [&] {
        press(15);
        hidden_while_waiting = window && window->isHidden();
    });
    press_adj(1);
    EXPECT_TRUE(hidden_while_waiting) << "hidden at once, destroyed later";
    EXPECT_FALSE(state.adj_open);
    run_deferred_deletes();
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(serial.sent_with('D', 'I').size(), 5u);
}

TEST_F(ReentrancyTest, ClosingTheVideoWindowDuringASliderDrag)
{
    QPointer<FrmVideo> window = video();
    platform.after(50, [this] { press(16); });
    drag_thumb(0, 20);
    run_deferred_deletes();
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(state.video_br, 20);
}

TEST_F(ReentrancyTest, MinimisingWhileCompanionCommandsWait)
{
    QPointer<FrmAdj> adj_window = adj();
    QPointer<FrmVideo> video_window = video();
    platform.after(50, [this] { press(21); });
    press_adj(9);
    run_deferred_deletes();
    EXPECT_TRUE(adj_window.isNull());
    EXPECT_TRUE(video_window.isNull());

    press(15);
    press(16);
    video_window = video();
    platform.after(30, [this] { press(21); });
    drag_thumb(5, 3);
    run_deferred_deletes();
    EXPECT_TRUE(video_window.isNull());
}

TEST_F(ReentrancyTest, ExitWhileACommandWaitsEndsTheWaitAndSavesOnce)
{
    int unloads = 0;
    QObject::connect(frm.get(), &FrmMain::unloaded, [&] { ++unloads; });
    platform.after(50, [this] { press(22); });
    const uint64_t t0 = platform.now();
    press_adj(11);
    EXPECT_LT(platform.now() - t0, 200u) << "the closed port ends the wait";
    EXPECT_TRUE(frm->is_unloaded());
    EXPECT_FALSE(serial.port_open());
    EXPECT_FALSE(state.tx_busy);
    run_deferred_deletes();
    EXPECT_EQ(frm->frm_adj(), nullptr);

    const QByteArray saved = settings_text();
    EXPECT_EQ(saved.count("\r\n"), 3);
    write_settings("changed");
    frm->close();
    EXPECT_EQ(settings_text(), "changed") << "written once";
    EXPECT_EQ(unloads, 1);
}

TEST_F(ReentrancyTest, ExitWhileAReplyIsBeingShown)
{
    during_mirror([this] { press(22); });
    serial.receive(protocol::Frame{'P', 'W', 1});
    serial.receive(protocol::Frame{'O', 'U', 2});
    serial.receive(protocol::Frame{'B', 'R', 9});
    serial.receive(protocol::Frame{'D', 'I', 0});
    platform.run_for(400);
    run_deferred_deletes();
    EXPECT_TRUE(frm->is_unloaded());
    EXPECT_EQ(frm->frm_adj(), nullptr);
    EXPECT_EQ(frm->frm_video(), nullptr);
    EXPECT_FALSE(frm->timRx().enabled());
    EXPECT_EQ(state.adj_di, 1) << "the rest was read from a port closed since";
}

TEST_F(ReentrancyTest, AClickWhileAReportIsShownIsTheUsersAndReachesTheUnit)
{
    serial.answer_with(unit);
    during_mirror([this] { press(9); });
    serial.receive(protocol::Frame{'P', 'W', 1});
    platform.run_for(800);
    EXPECT_EQ(state.output_format, 3);
    EXPECT_EQ(picture(9), "xga_on");
    EXPECT_EQ(serial.sent_with('O', 'U'), std::vector<protocol::Frame>{(protocol::Frame{'O', 'U', 3})});
    EXPECT_EQ(unit.state().output_format, 3);
    EXPECT_EQ(frm->message(), "");
    EXPECT_TRUE(state.user_action);
}

TEST_F(ReentrancyTest, AReportForAWindowClosedDuringTheSamePoll)
{
    QPointer<FrmAdj> adj_window = adj();
    QPointer<FrmVideo> video_window = video();
    during_mirror([this] {
        press(15);
        press(16);
        run_deferred_deletes();
    });
    serial.receive(protocol::Frame{'P', 'W', 1});
    serial.receive(protocol::Frame{'D', 'I', 0});
    serial.receive(protocol::Frame{'B', 'R', 9});
    serial.receive(protocol::Frame{'R', 'E', 0});
    platform.run_for(400);
    run_deferred_deletes();
    EXPECT_TRUE(adj_window.isNull());
    EXPECT_TRUE(video_window.isNull());
    EXPECT_EQ(state.adj_di, 0);
    EXPECT_EQ(state.video_br, 9);
    EXPECT_TRUE(serial.sent.empty());
}

TEST_F(ReentrancyTest, ExitDuringTheOkReportsWait)
{
    serial.receive(protocol::Frame{'O', 'K', 0});
    platform.after(300, [this] { press(22); });
    platform.run_for(1000);
    EXPECT_TRUE(frm->is_unloaded());
    EXPECT_TRUE(serial.sent_with('A', 'L').empty()) << "nothing goes to a closed port";
}

// Start-up has its own one-second wait, run before the event loop starts.
class StartUpExitTest : public PanelTest {};

TEST_F(StartUpExitTest, ExitDuringTheStartUpWait)
{
    platform.after(400, [this] { press(22); });
    start();
    EXPECT_TRUE(frm->is_unloaded());
    EXPECT_FALSE(frm->isVisible());
    EXPECT_EQ(settings_text().count("\r\n"), 3);
}

}  // namespace
}  // namespace plenvo::testing
