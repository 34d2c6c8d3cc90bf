// Windows closed, and the program ended, while a command of theirs still
// waits for the unit or reports are still coming in. Run under
// AddressSanitizer, any use of a destroyed window fails these tests.

#include <QScrollBar>

#include "support/panel_fixture.h"

namespace plenvo::testing {
namespace {

class ClosingTest : public PanelTest {
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

    void move_thumb(int index, int value)
    {
        frm->frm_video()->hsr_video(index)->setSliderPosition(value);
        frm->frm_video()->hsr_video_Scroll(index);
    }
};

TEST_F(ClosingTest, ACompanionClosedWhileItsCommandWaitsIsHiddenAtOnceAndDestroyedLater)
{
    // Each closes the window its own press sent from: the ADJ or VIDEO
    // button, or minimise (both).
    const struct {
        const char* what;
        int closer;
        bool video;
    } cases[] = {
        {"ADJ", 15, false},
        {"minimise, adjustment", 21, false},
        {"VIDEO", 16, true},
        {"minimise, video", 21, true},
    };
    int brightness = 20;
    for (const auto& c : cases) {
        if (!frm->frm_adj())
            press(15);
        if (!frm->frm_video())
            press(16);
        frm->set_message(QString());
        forget_sent();
        QPointer<SkinWindow> window = c.video ? static_cast<SkinWindow*>(frm->frm_video())
                                              : static_cast<SkinWindow*>(frm->frm_adj());
        bool hidden_at_once = false;
        platform.after(50, [&, closer = c.closer] {
            click(closer);
            hidden_at_once = window && window->isHidden();
        });
        if (c.video)
            move_thumb(0, ++brightness);
        else
            click_adj(state.adj_di == 0 ? 0 : 1);
        settle();
        EXPECT_TRUE(hidden_at_once) << c.what;
        run_deferred_deletes();
        EXPECT_TRUE(window.isNull()) << c.what;
        // A level is sent once; DI goes out every 0.2 s until its second is up.
        EXPECT_EQ(serial.sent.size(), c.video ? 1u : 5u) << c.what << ": the command went on alone";
        EXPECT_EQ(frm->message(), c.video ? "" : kTxFail) << c.what;
    }
}

TEST_F(ClosingTest, ExitWhileAPressesCommandWaitsSavesOnceAndLeavesTheButtonsOff)
{
    int unloads = 0;
    QObject::connect(frm.get(), &FrmMain::unloaded, [&] { ++unloads; });
    platform.after(50, [this] { click(22); });
    press(3);
    EXPECT_TRUE(frm->is_unloaded());
    EXPECT_FALSE(serial.port_open());
    EXPECT_TRUE(model.idle()) << "the closed port ends the command";
    EXPECT_FALSE(frm->img_btn(3)->isEnabled()) << "its failure takes no button back";
    run_deferred_deletes();
    EXPECT_EQ(frm->frm_adj(), nullptr);
    EXPECT_EQ(frm->frm_video(), nullptr);

    const size_t sent = serial.sent.size();
    platform.run_for(2000);
    EXPECT_EQ(serial.sent.size(), sent) << "nothing goes out after the exit";
    EXPECT_EQ(serial.sent_text().front(), "IN 2");

    const QByteArray saved = settings_text();
    EXPECT_EQ(saved.count("\r\n"), 3);
    write_settings("changed");
    frm->close();
    EXPECT_EQ(settings_text(), "changed") << "written once";
    EXPECT_EQ(unloads, 1);
}

TEST_F(ClosingTest, ReportsForCompanionsClosedButNotYetDestroyedAreOnlyStored)
{
    QPointer<FrmAdj> adj_window = frm->frm_adj();
    QPointer<FrmVideo> video_window = frm->frm_video();
    click(15);
    click(16);
    for (const protocol::Frame& frame : {protocol::Frame{'D', 'I', 0}, protocol::Frame{'B', 'R', 9},
                                         protocol::Frame{'R', 'E', 0}, protocol::Frame{'B', 'Y', 1}})
        serial.receive(frame);
    platform.run_for(200);
    ASSERT_FALSE(adj_window.isNull()) << "not destroyed while the reports were shown";
    EXPECT_EQ(adj_window->img_btn(1)->picture_name(), "off_off");
    EXPECT_EQ(video_window->hsr_video(0)->value(), 31);
    run_deferred_deletes();
    EXPECT_TRUE(adj_window.isNull());
    EXPECT_TRUE(video_window.isNull());
    EXPECT_EQ(state.adj_di, 0);
    EXPECT_EQ(state.video_br, 9);
    EXPECT_EQ(picture(13), "bypass_off") << "the main panel still shows the bypass";
    EXPECT_TRUE(serial.sent.empty());
}

TEST_F(ClosingTest, ExitBeforeTheReportsAreReadOrTheOkReportsRequest)
{
    serial.receive(protocol::Frame{'O', 'K', 0});
    platform.run_for(150);
    serial.receive(protocol::Frame{'P', 'W', 0});
    serial.receive(protocol::Frame{'O', 'U', 2});
    click(22);
    platform.run_for(1000);
    EXPECT_TRUE(frm->is_unloaded());
    EXPECT_FALSE(model.link().timRx().enabled());
    EXPECT_EQ(state.power_state, 1) << "read from a port closed since: not applied";
    EXPECT_EQ(picture(0), "power_on");
    EXPECT_TRUE(serial.sent.empty()) << "nothing goes to a closed port";
}

// The start-up asks the unit for its state as the event loop starts.
class StartUpExitTest : public PanelTest {};

TEST_F(StartUpExitTest, ExitWhileTheStartUpAsksForTheState)
{
    serial.answer_with(unit, 300);
    frm->Form_Load(false);
    platform.after(50, [this] { click(22); });
    platform.run_for(1500);
    EXPECT_TRUE(frm->is_unloaded());
    EXPECT_FALSE(frm->isVisible());
    EXPECT_EQ(serial.sent_text(), std::vector<std::string>{"AL 0"});
    EXPECT_EQ(state.power_state, 0) << "the answers came to a closed port";
    EXPECT_EQ(settings_text().count("\r\n"), 3);
}

}  // namespace
}  // namespace plenvo::testing
