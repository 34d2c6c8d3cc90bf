// The link as the main window shows it: start-up, the port buttons and
// their tooltips, a lost device and a silent unit.

#include <QLabel>

#include "support/panel_fixture.h"

namespace plenvo::testing {
namespace {

using protocol::Frame;

using LinkTest = PanelTest;

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

}  // namespace
}  // namespace plenvo::testing
