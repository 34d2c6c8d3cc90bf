// The main panel's buttons and indicators, for the user and for the
// unit's reports.

#include "support/panel_fixture.h"

namespace plenvo::testing {
namespace {

class MainPanelTest : public PanelTest {
protected:
    void SetUp() override
    {
        start();
        forget_sent();
    }

    std::vector<QByteArray> output_pictures() const
    {
        std::vector<QByteArray> names;
        for (int element = 5; element <= 12; ++element)
            names.push_back(picture(element));
        return names;
    }

    std::vector<QByteArray> input_pictures() const
    {
        return {picture(1), picture(2), picture(3), picture(4), picture(13)};
    }
};

TEST_F(MainPanelTest, OutputButtonsSendTheFormatCodeNotTheirIndex)
{
    // Panel order VGA 480P SVGA 576P XGA SXGA 1080I 720P; codes run
    // VGA 480P SVGA XGA SXGA 576P 720P 1080I.
    const std::pair<int, int> element_code[] = {{6, 1}, {7, 2}, {8, 5}, {9, 3}, {10, 4}, {11, 7}, {12, 6}, {5, 0}};
    for (auto [element, code] : element_code) {
        forget_sent();
        press(element);
        EXPECT_EQ(serial.sent_text(), std::vector<std::string>{"OU " + std::to_string(code)}) << element;
        EXPECT_EQ(state.output_format, code);
        for (int other = 5; other <= 12; ++other)
            EXPECT_EQ(picture(other).endsWith("_on"), other == element) << element << " " << other;
    }
}

TEST_F(MainPanelTest, TheOutputAlreadySelectedSendsNothing)
{
    press(9);
    forget_sent();
    press(9);
    EXPECT_TRUE(serial.sent.empty());
    EXPECT_EQ(picture(9), "xga_on");
}

TEST_F(MainPanelTest, AfterAFailureTheLitOutputCanBeSentAgain)
{
    serial.on_frame = nullptr;  // the unit stops answering
    press(9);
    EXPECT_EQ(frm->message(), QString::fromLatin1(kTxFail));
    EXPECT_EQ(picture(9), "xga_on") << "the choice stays on the panel";

    serial.answer_with(unit);
    forget_sent();
    press(9);
    EXPECT_EQ(serial.sent_text(), std::vector<std::string>{"OU 3"});
    EXPECT_EQ(frm->message(), "");
    forget_sent();
    press(9);
    EXPECT_TRUE(serial.sent.empty()) << "answered now";
}

TEST_F(MainPanelTest, AChoiceMadeWhileAnotherCommandWaitsReachesTheUnit)
{
    serial.answer_with(unit, 150);
    power_on_with_companions();
    forget_sent();
    // NR off is clicked while IN waits for its answer.
    platform.after(60, [this] { click_adj(11); });
    press(3);
    platform.run_for(600);
    EXPECT_EQ(serial.sent_text(), (std::vector<std::string>{"IN 2", "NR 0"}));
    EXPECT_EQ(unit.state().adj_nr, 0);
    EXPECT_EQ(adj_picture(11), "off_on");
    EXPECT_EQ(frm->message(), "");
}

TEST_F(MainPanelTest, TheUnitAndPortButtonsWaitForTheOutcomeOfThePressesCommand)
{
    const int unit_and_ports[] = {0, 1, 5, 12, 19, 20};
    const struct {
        const char* what;
        int element;
        bool answering;     // after 0.3 s, or never
        uint64_t done_by;   // ms after the press
    } cases[] = {
        {"input, answered", 3, true, 500},
        {"output, not answered", 9, false, 1100},
    };
    for (const auto& c : cases) {
        if (c.answering)
            serial.answer_with(unit, 300);
        else
            serial.on_frame = nullptr;
        click(c.element);
        platform.run_for(100);
        for (int element : unit_and_ports)
            EXPECT_FALSE(frm->img_btn(element)->isEnabled()) << c.what << ": " << element;
        // The window buttons still act; neither they nor a report from the
        // unit take the others back.
        serial.receive(protocol::Frame{'P', 'W', 1});
        click(15);
        EXPECT_NE(frm->frm_adj(), nullptr) << c.what;
        platform.run_for(100);
        EXPECT_FALSE(frm->img_btn(0)->isEnabled()) << c.what;
        EXPECT_FALSE(frm->img_btn(c.element)->isEnabled()) << c.what;

        platform.run_for(c.done_by - 200);
        for (int element : unit_and_ports)
            EXPECT_TRUE(frm->img_btn(element)->isEnabled()) << c.what << ": " << element;
        EXPECT_TRUE(picture(c.element).endsWith("_on")) << c.what;
        EXPECT_EQ(frm->message(), c.answering ? "" : kTxFail) << c.what;
        press(15);
    }
}

TEST_F(MainPanelTest, AnInputIsSentOnEveryClickEvenWhenSelected)
{
    press(3);
    press(3);
    EXPECT_EQ(serial.sent_text(), (std::vector<std::string>{"IN 2", "IN 2"}));
    EXPECT_EQ(input_pictures(), (std::vector<QByteArray>{"cv_off", "sv_off", "yuv_on", "pc_off", "bypass_disable"}));
}

TEST_F(MainPanelTest, WithThePowerOffOnlyPowerAndTheWindowButtonsAct)
{
    press(0);
    EXPECT_EQ(serial.sent_text(), std::vector<std::string>{"PW 0"});
    EXPECT_EQ(picture(0), "power_off");
    EXPECT_EQ(output_pictures(), std::vector<QByteArray>(
                                     {"vga_off", "480p_off", "svga_off", "576p_off", "xga_off", "sxga_off",
                                      "1080i_off", "720p_off"}));
    forget_sent();
    press(2);
    press(7);
    EXPECT_TRUE(serial.sent.empty());
    EXPECT_EQ(state.input_source, 0);
    EXPECT_EQ(state.output_format, 0);
    press(15);
    EXPECT_NE(frm->frm_adj(), nullptr);
}

TEST_F(MainPanelTest, PowerOnShowsTheBypassButtonByThePermission)
{
    press(0);
    serial.on_frame = nullptr;  // the unit's reply would redraw the inputs
    // With the power off these are only stored.
    report('B', 'Y', 1);
    report('I', 'N', 4);
    press(0);
    EXPECT_EQ(picture(0), "power_on");
    EXPECT_EQ(picture(13), "bypass_off") << "not lit, although the bypass is the input";
    EXPECT_TRUE(frm->img_btn(13)->isEnabled());

    press(0);
    report('B', 'Y', 0);
    press(0);
    EXPECT_EQ(picture(13), "bypass_disable");
    EXPECT_FALSE(frm->img_btn(13)->isEnabled());
}

TEST_F(MainPanelTest, TheBypassButtonIsClickableOnlyWhileAllowed)
{
    report('B', 'Y', 1);
    press(2);
    EXPECT_TRUE(frm->img_btn(13)->isEnabled());
    press(13);
    EXPECT_EQ(serial.sent_text().back(), "IN 4");
    EXPECT_EQ(picture(13), "bypass_on");

    report('B', 'Y', 0);
    press(0);
    EXPECT_FALSE(frm->img_btn(13)->isEnabled()) << "after every click, also while the power is off";
    for (int element : {0, 1, 5, 12, 19, 20})
        EXPECT_TRUE(frm->img_btn(element)->isEnabled()) << element;
}

TEST_F(MainPanelTest, TheMessageLineIsClearedByAnyClickOnlyWhileThePortIsOpen)
{
    frm->set_message("Tx  fail !");
    frm->img_btn_MouseDown(17);
    EXPECT_EQ(frm->message(), "");

    serial.openable = {};
    press(20);
    EXPECT_EQ(frm->message(), "COM2: can't work !");
    EXPECT_EQ(picture(20), "com2_err");
    EXPECT_EQ(picture(19), "com1_off");
    press(0);
    EXPECT_EQ(frm->message(), "COM2: can't work !");
    EXPECT_TRUE(serial.sent.empty()) << "nothing reaches a closed port";
}

TEST_F(MainPanelTest, APortThatFailsIsStillTheOneSavedAtExit)
{
    serial.openable = {1};
    press(20);
    press(22);
    EXPECT_TRUE(frm->is_unloaded());
    EXPECT_TRUE(settings_text().endsWith("\r\n2\r\n"));
    EXPECT_FALSE(frm->img_btn(1)->isEnabled()) << "exit skips re-enabling the buttons";
}

TEST_F(MainPanelTest, MinimiseClosesBothCompanionsAndMinimises)
{
    press(15);
    press(16);
    ASSERT_NE(frm->frm_adj(), nullptr);
    press(21);
    EXPECT_EQ(frm->frm_adj(), nullptr);
    EXPECT_EQ(frm->frm_video(), nullptr);
    EXPECT_EQ(picture(15), "adj_off");
    EXPECT_EQ(picture(16), "video_off");
    EXPECT_TRUE(frm->isMinimized());
    run_deferred_deletes();
    EXPECT_EQ(frm->frm_adj(), nullptr);
    EXPECT_EQ(frm->frm_video(), nullptr);
}

TEST_F(MainPanelTest, CompanionsOpenDockedAndCloseAgain)
{
    frm->set_Top(1500);
    frm->set_Left(3000);
    press(15);
    press(16);
    EXPECT_EQ(picture(15), "adj_on");
    EXPECT_EQ(picture(16), "video_on");
    EXPECT_EQ(frm->frm_adj()->Top(), 1500);
    EXPECT_EQ(frm->frm_adj()->Left(), 3000 + 7050);
    EXPECT_EQ(frm->frm_video()->Top(), 1500 + 2625);
    EXPECT_EQ(frm->frm_video()->Left(), 3000);
    EXPECT_TRUE(frm->frm_adj()->isVisible());
    EXPECT_FALSE(frm->frm_adj()->close()) << "only the ADJ button closes it";
    EXPECT_TRUE(frm->frm_adj()->isVisible());

    press(15);
    EXPECT_EQ(frm->frm_adj(), nullptr);
    EXPECT_EQ(picture(15), "adj_off");
    run_deferred_deletes();
    EXPECT_EQ(frm->frm_adj(), nullptr);
    EXPECT_NE(frm->frm_video(), nullptr);
}

TEST_F(MainPanelTest, InputIndicatorsDrawNothingLitForACodeOutOfRange)
{
    frm->in_on_off(99, false);
    EXPECT_EQ(input_pictures(), (std::vector<QByteArray>{"cv_off", "sv_off", "yuv_off", "pc_off", "bypass_disable"}));
    report('B', 'Y', 1);
    frm->in_on_off(5, false);
    EXPECT_EQ(picture(13), "bypass_off");
    report('B', 'Y', 0);
    frm->in_on_off(4, false);
    EXPECT_EQ(picture(13), "bypass_on");
}

TEST_F(MainPanelTest, DisallowingTheSelectedBypassFallsBackToPc)
{
    report('B', 'Y', 1);
    press(13);
    forget_sent();
    report('B', 'Y', 0);
    EXPECT_EQ(state.input_source, 3);
    EXPECT_EQ(input_pictures(), (std::vector<QByteArray>{"cv_off", "sv_off", "yuv_off", "pc_on", "bypass_disable"}));
    EXPECT_FALSE(frm->img_btn(13)->isEnabled());
    EXPECT_TRUE(serial.sent.empty()) << "the unit falls back on its own";

    report('B', 'Y', 1);
    EXPECT_EQ(picture(13), "bypass_off");
    EXPECT_TRUE(frm->img_btn(13)->isEnabled());
}

// ---- reports from the unit

TEST_F(MainPanelTest, ReportsAreShownAndNeverEchoed)
{
    report('O', 'U', 3);
    EXPECT_EQ(picture(9), "xga_on");
    report('I', 'N', 1);
    EXPECT_EQ(picture(2), "sv_on");
    report('P', 'W', 0);
    EXPECT_EQ(picture(0), "power_off");
    EXPECT_EQ(input_pictures()[1], "sv_off");
    report('P', 'W', 1);
    EXPECT_EQ(picture(0), "power_on");
    EXPECT_EQ(picture(2), "sv_on");
    EXPECT_TRUE(serial.sent.empty());
}

TEST_F(MainPanelTest, AReportedBypassIsShownOnlyWhileAllowed)
{
    report('I', 'N', 2);
    report('I', 'N', 4);
    EXPECT_EQ(state.input_source, 4);
    EXPECT_EQ(picture(3), "yuv_on") << "not allowed: the indicators stay";
    report('B', 'Y', 1);
    report('I', 'N', 4);
    EXPECT_EQ(picture(13), "bypass_on");
}

TEST_F(MainPanelTest, ReportsOutsideTheCodesLightNothingAndPressNothing)
{
    press(15);
    // As indexes these would be the window, port, minimise and exit buttons.
    for (uint8_t value : {10, 11, 14, 15, 16, 17, 200}) {
        report('I', 'N', value);
        report('O', 'U', value);
    }
    EXPECT_EQ(state.input_source, 200);
    EXPECT_EQ(state.output_format, 200);
    for (const QByteArray& name : input_pictures())
        EXPECT_FALSE(name.endsWith("_on")) << name.constData();
    for (const QByteArray& name : output_pictures())
        EXPECT_FALSE(name.endsWith("_on")) << name.constData();
    EXPECT_NE(frm->frm_adj(), nullptr);
    EXPECT_EQ(frm->frm_video(), nullptr);
    EXPECT_EQ(serial.open_count, 1);
    EXPECT_FALSE(frm->is_unloaded());
    EXPECT_FALSE(frm->isMinimized());
}

TEST_F(MainPanelTest, AReportedPowerOfTwoCountsAsOnForTheButtonsOnly)
{
    press(15);
    report('P', 'W', 2);
    EXPECT_EQ(picture(0), "power_on");
    forget_sent();
    press(10);
    EXPECT_EQ(serial.sent_text(), std::vector<std::string>{"OU 4"});
    // Adjustment reports are shown only while the power is exactly 1.
    report('D', 'I', 0);
    EXPECT_EQ(frm->frm_adj()->img_btn(1)->picture_name(), "off_off");
}

}  // namespace
}  // namespace plenvo::testing
