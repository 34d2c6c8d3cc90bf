// The adjustment and video settings windows, for the user and for the
// unit's reports.

#include <QLabel>
#include <QScrollBar>
#include <QSignalBlocker>

#include <functional>

#include "support/panel_fixture.h"
#include "windows/window_tables.h"

namespace plenvo::testing {
namespace {

class CompanionsTest : public PanelTest {
protected:
    void SetUp() override
    {
        start();
        power_on_with_companions();
        forget_sent();
    }

    FrmAdj& adj() const { return *frm->frm_adj(); }
    FrmVideo& video() const { return *frm->frm_video(); }

    std::vector<int> lit_adj_buttons() const
    {
        std::vector<int> lit;
        for (const tables::AdjButton& button : tables::kAdjButtons)
            if (adj_picture(button.index).endsWith("_on"))
                lit.push_back(button.index);
        return lit;
    }

    std::vector<int> slider_values() const
    {
        std::vector<int> values;
        for (int i = 0; i < 6; ++i)
            values.push_back(video().hsr_video(i)->value());
        return values;
    }

    std::vector<QString> label_texts() const
    {
        std::vector<QString> texts;
        for (int i = 0; i < 6; ++i)
            texts.push_back(video().lab_video(i)->text());
        return texts;
    }

    // The user drags slider `index`'s thumb to `value`.
    void move_thumb(int index, int value)
    {
        video().hsr_video(index)->setSliderPosition(value);
        video().hsr_video_Scroll(index);
    }
    // The same, then the clock runs until the line is idle again.
    void drag_thumb(int index, int value)
    {
        move_thumb(index, value);
        settle();
    }
};

TEST_F(CompanionsTest, AChoiceFromAnotherDoorIsDrawnAsAClickDrawsIt)
{
    const struct {
        protocol::Command command;
        int value;
        std::function<bool()> drawn;
    } choices[] = {
        {protocol::kOU, 6, [this] { return picture(12) == "720p_on" && picture(5) == "vga_off"; }},
        {protocol::kIN, 2, [this] { return picture(3) == "yuv_on" && picture(1) == "cv_off"; }},
        {protocol::kNR, 0, [this] { return adj_picture(11) == "off_on" && adj_picture(10) == "on_off"; }},
        {protocol::kBY, 1, [this] { return adj_picture(16) == "enable_on" && picture(13) == "bypass_off"; }},
        {protocol::kCO, 20, [this] { return video().hsr_video(1)->value() == 20 && video().lab_video(1)->text() == "20"; }},
        {protocol::kRE, 0, [this] { return slider_values() == std::vector<int>{31, 58, 31, 10, 31, 31}; }},
        {protocol::kPW, 0, [this] { return picture(0) == "power_off" && !adj().isEnabled() && !video().isEnabled(); }},
    };
    for (const auto& choice : choices) {
        frm->set_message("Tx  fail !");
        forget_sent();
        if (choice.command.field)
            model.set(choice.command, choice.value, Door::Control);
        else
            model.reset_levels(Door::Control);
        const std::string what{choice.command.first, choice.command.second};
        EXPECT_TRUE(choice.drawn()) << what << " drawn before it is answered";
        ASSERT_EQ(serial.sent.size(), 1u) << what;
        // As a press on the main panel or an open adjustment window would.
        const bool clears = choice.command.field && tables::video_slider_of(choice.command) < 0;
        EXPECT_EQ(frm->message(), clears ? "" : "Tx  fail !") << what;
        EXPECT_TRUE(frm->img_btn(0)->isEnabled()) << what << ": no press of the panel's waits";
        settle();
    }
}

TEST_F(CompanionsTest, TheStartUpStateLightsOneButtonPerGroup)
{
    EXPECT_EQ(lit_adj_buttons(), (std::vector<int>{0, 4, 7, 8, 10, 12, 14, 17, 19, 21}));
    EXPECT_TRUE(adj().isEnabled());
    EXPECT_EQ(slider_values(), (std::vector<int>{31, 58, 31, 10, 31, 31}));
    EXPECT_EQ(label_texts(), (std::vector<QString>{"31", "58", "31", "10", "31", "31"}));
}

TEST_F(CompanionsTest, EachButtonSendsItsGroupsValue)
{
    // Front Panel Lock runs the other way round: on sends 0.
    const struct {
        int index;
        const char* frame;
    } clicks[] = {
        {1, "DI 0"}, {0, "DI 1"}, {2, "AS 2"}, {3, "AS 0"}, {14, "AS 1"}, {5, "IR 0"}, {6, "FP 0"}, {7, "FP 1"},
        {9, "TD 0"}, {11, "NR 0"}, {13, "OS 0"}, {16, "BY 1"}, {17, "BY 0"}, {18, "BL 1"}, {20, "FR 1"},
    };
    for (const auto& click : clicks) {
        forget_sent();
        press_adj(click.index);
        EXPECT_EQ(serial.sent_text(), std::vector<std::string>{click.frame}) << click.index;
        EXPECT_TRUE(adj_picture(click.index).endsWith("_on")) << click.index;
    }
}

TEST_F(CompanionsTest, TheLitButtonOfAGroupOnlyClearsTheMessage)
{
    frm->set_message("Tx  fail !");
    press_adj(0);
    EXPECT_TRUE(serial.sent.empty());
    EXPECT_EQ(frm->message(), "");
    frm->adj_on_off(true);
    adj().img_btn_MouseDown(15);
    adj().img_btn_MouseDown(40);
    EXPECT_TRUE(serial.sent.empty());
}

TEST_F(CompanionsTest, TheBypassPermissionReachesTheMainPanelBeforeItIsSent)
{
    serial.on_frame = [this, answer = serial.on_frame](const protocol::Frame& frame) {
        EXPECT_EQ(picture(13), "bypass_off");
        answer(frame);
    };
    press_adj(16);
    EXPECT_TRUE(frm->img_btn(13)->isEnabled());
    EXPECT_EQ(serial.sent_text(), std::vector<std::string>{"BY 1"});
}

TEST_F(CompanionsTest, AspectValuesOutsideTheChoicesLightNoAspectButton)
{
    for (uint8_t value : {3, 255}) {
        report('A', 'S', value);
        for (int index : {2, 3, 14})
            EXPECT_TRUE(adj_picture(index).endsWith("_off")) << value << " " << index;
    }
    report('F', 'P', 0);
    report('B', 'L', 2);
    EXPECT_EQ(adj_picture(6), "on_on");
    EXPECT_EQ(adj_picture(18), "on_on");
}

TEST_F(CompanionsTest, PowerOffDisablesBothCompanionsAndPowerOnRedrawsThem)
{
    press(0);
    EXPECT_FALSE(adj().isEnabled());
    EXPECT_FALSE(video().isEnabled());
    EXPECT_TRUE(lit_adj_buttons().empty());
    EXPECT_EQ(slider_values(), (std::vector<int>{31, 58, 31, 10, 31, 31})) << "the bars keep their values";

    // With the power off these are only stored.
    report('N', 'R', 0);
    report('S', 'H', 20);
    EXPECT_EQ(video().hsr_video(3)->value(), 10);
    press(0);
    EXPECT_TRUE(adj().isEnabled());
    EXPECT_TRUE(video().isEnabled());
    EXPECT_EQ(adj_picture(11), "off_on");
    EXPECT_EQ(video().hsr_video(3)->value(), 20);
    EXPECT_EQ(serial.sent_text(), (std::vector<std::string>{"PW 0", "PW 1"}));
}

TEST_F(CompanionsTest, CompanionsOpenedWhileThePowerIsOffAreDisabled)
{
    press(15);
    press(16);
    press(0);
    press(15);
    press(16);
    EXPECT_FALSE(adj().isEnabled());
    EXPECT_TRUE(lit_adj_buttons().empty());
    EXPECT_FALSE(video().isEnabled());
    EXPECT_EQ(video().hsr_video(1)->value(), 58);
}

TEST_F(CompanionsTest, AdjustmentReportsAreShownOnlyWhileTheWindowIsOpenAndPowerIsOne)
{
    report('D', 'I', 0);
    EXPECT_EQ(adj_picture(1), "off_on");

    press(15);
    report('N', 'R', 0);
    EXPECT_EQ(state.adj_nr, 0);
    EXPECT_EQ(frm->frm_adj(), nullptr) << "a report opens no window";
    press(15);
    EXPECT_EQ(adj_picture(11), "off_on") << "shown the next time the window is drawn";
    EXPECT_TRUE(serial.sent.empty());
}

TEST_F(CompanionsTest, ABypassReportWithTheAdjustmentClosedRedrawsTheBypassButton)
{
    press(15);
    report('B', 'Y', 1);
    EXPECT_EQ(picture(13), "bypass_off");
    EXPECT_TRUE(frm->img_btn(13)->isEnabled());

    report('P', 'W', 0);
    report('B', 'Y', 0);
    EXPECT_EQ(state.bypass_enabled, 0);
    EXPECT_EQ(picture(13), "bypass_off") << "with the power off it is only stored";
    EXPECT_TRUE(serial.sent.empty());
}

TEST_F(CompanionsTest, ABypassReportWithTheAdjustmentOpenRedrawsBoth)
{
    report('B', 'Y', 1);
    EXPECT_EQ(adj_picture(16), "enable_on");
    EXPECT_EQ(picture(13), "bypass_off");
}

TEST_F(CompanionsTest, DraggingAThumbSendsTheNewValue)
{
    move_thumb(0, 40);
    EXPECT_EQ(state.video_br, 40);
    EXPECT_EQ(video().lab_video(0)->text(), "40");
    EXPECT_EQ(serial.sent_text(), std::vector<std::string>{"BR 40"}) << "at once, while the line is free";
    settle();

    // The end of the drag brings the same value through Change: nothing more.
    video().hsr_video(0)->setValue(40);
    EXPECT_EQ(serial.sent.size(), 1u);
}

TEST_F(CompanionsTest, ThumbMovesWhileASendWaitsAreKeptAndTheLastOneGoesOut)
{
    serial.on_frame = nullptr;  // no reply to bring the first value back
    platform.after(50, [this] { move_thumb(4, 35); });
    platform.after(80, [this] { move_thumb(4, 36); });
    drag_thumb(4, 34);
    EXPECT_EQ(state.video_ti, 36);
    // The Change at the end of the drag finds 36 already on its way.
    video().hsr_video(4)->setValue(36);
    platform.run_for(1500);
    EXPECT_EQ(serial.sent_with('T', 'I').front(), (protocol::Frame{'T', 'I', 34}));
    EXPECT_EQ(serial.sent_with('T', 'I').back(), (protocol::Frame{'T', 'I', 36}));
    for (const protocol::Frame& frame : serial.sent_with('T', 'I'))
        EXPECT_NE(frame.value, 35) << "a value passed over meanwhile need not go out";
}

TEST_F(CompanionsTest, AnArrowClickSendsExactlyOneCommand)
{
    video().hsr_video(5)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    video().hsr_video(2)->triggerAction(QAbstractSlider::SliderPageStepSub);
    settle();
    EXPECT_EQ(serial.sent_text(), (std::vector<std::string>{"VO 32", "SA 24"}));
}

TEST_F(CompanionsTest, TwoQuickArrowClicksLeaveTheUnitOnTheSecondValue)
{
    platform.after(60, [this] { video().hsr_video(0)->triggerAction(QAbstractSlider::SliderSingleStepAdd); });
    video().hsr_video(0)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    platform.run_for(500);
    EXPECT_EQ(video().lab_video(0)->text(), "33");
    EXPECT_EQ(unit.state().video_br, 33);
    EXPECT_EQ(serial.sent_text(), (std::vector<std::string>{"BR 32", "BR 33"}));
}

TEST_F(CompanionsTest, AFastDragEndsWithThumbLabelAndUnitWhereItWasLetGo)
{
    serial.answer_with(unit, 100);
    // Moves 30 ms apart, faster than the unit answers, then the release.
    for (int step = 1; step <= 8; ++step)
        platform.after(uint64_t(30 * step), [this, step] { move_thumb(0, 31 + 4 * step); });
    platform.after(280, [this] { video().hsr_video(0)->setValue(63); });
    drag_thumb(0, 32);
    platform.run_for(1000);
    EXPECT_EQ(video().hsr_video(0)->value(), 63);
    EXPECT_EQ(video().lab_video(0)->text(), "63");
    EXPECT_EQ(unit.state().video_br, 63);
    EXPECT_EQ(frm->message(), "") << "every frame sent was answered";
    // The setting is answered: a click towards the end of the bar sends nothing.
    forget_sent();
    video().hsr_video(0)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_TRUE(serial.sent.empty());
}

TEST_F(CompanionsTest, LabelsShowTheSettingsNumberWithThePowerOff)
{
    press(16);  // close the video window
    report('P', 'W', 0);
    report('B', 'R', 0);
    report('V', 'O', 70);
    press(16);
    EXPECT_EQ(video().lab_video(0)->text(), "0");
    EXPECT_EQ(video().lab_video(5)->text(), "70");
    EXPECT_EQ(video().hsr_video(5)->value(), 63);
    EXPECT_FALSE(video().isEnabled());
    EXPECT_TRUE(serial.sent.empty());
}

TEST_F(CompanionsTest, ResetRestoresTheDefaultsAndSendsResetAlone)
{
    drag_thumb(0, 10);
    drag_thumb(1, 11);
    forget_sent();
    video().img_btn_MouseDown();
    EXPECT_EQ(serial.sent_text(), std::vector<std::string>{"RE 0"});
    EXPECT_EQ(slider_values(), (std::vector<int>{31, 58, 31, 10, 31, 31}));
    EXPECT_EQ(label_texts(), (std::vector<QString>{"31", "58", "31", "10", "31", "31"}));
}

TEST_F(CompanionsTest, ResetDoesNothingWithThePowerOffOrForTheUnitsReport)
{
    drag_thumb(0, 10);
    forget_sent();
    report('R', 'E', 0);
    EXPECT_EQ(state.video_br, 10);
    press(0);
    forget_sent();
    video().img_btn_MouseDown();
    EXPECT_TRUE(serial.sent.empty());
    EXPECT_EQ(state.video_br, 10);
}

TEST_F(CompanionsTest, VideoReportsUpdateEveryBarAndSendNothing)
{
    {
        // A bar that shows something other than its setting.
        const QSignalBlocker quiet(video().hsr_video(5));
        video().hsr_video(5)->setValue(5);
        video().lab_video(5)->setText("5");
    }
    report('B', 'R', 50);
    EXPECT_EQ(slider_values(), (std::vector<int>{50, 58, 31, 10, 31, 31}));
    EXPECT_EQ(label_texts()[5], "31");
    EXPECT_TRUE(serial.sent.empty());
}

TEST_F(CompanionsTest, VideoReportsAreNotShownUnlessThePowerIsOne)
{
    report('P', 'W', 2);
    report('C', 'O', 20);
    EXPECT_EQ(state.video_co, 20);
    EXPECT_EQ(video().hsr_video(1)->value(), 58);
}

TEST_F(CompanionsTest, AVideoValueAboveTheBarsRangeIsNotEchoedBack)
{
    report('S', 'H', 200);
    EXPECT_EQ(video().hsr_video(3)->value(), 63);
    EXPECT_EQ(video().lab_video(3)->text(), "200");
    press(0);
    press(0);
    EXPECT_EQ(serial.sent_text(), (std::vector<std::string>{"PW 0", "PW 1"}));
}

TEST_F(CompanionsTest, UserMovesWhileThePowerIsOffOnlyChangeTheLabel)
{
    report('P', 'W', 0);
    drag_thumb(2, 12);
    EXPECT_EQ(video().lab_video(2)->text(), "12");
    EXPECT_EQ(state.video_sa, 31);
    EXPECT_TRUE(serial.sent.empty());
}

}  // namespace
}  // namespace plenvo::testing
