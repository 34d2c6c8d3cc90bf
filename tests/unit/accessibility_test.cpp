// What a screen reader learns of the three windows through Qt's
// accessibility interfaces: names, roles, lit states, values and presses.

#include <QAccessible>
#include <QScrollBar>

#include <stdexcept>

#include "support/panel_fixture.h"

namespace plenvo::testing {
namespace {

class ScreenReaderTest : public PanelTest {
protected:
    void SetUp() override
    {
        start();
        power_on_with_companions();
        forget_sent();
    }

    static QAccessibleInterface& reader(QWidget* widget) { return *QAccessible::queryAccessibleInterface(widget); }

    // The button of that name, shown in its tooltip too (a port's adds
    // what is wrong with its line).
    static QAccessibleInterface& named(const QWidget* window, const char* name)
    {
        for (SkinButton* button : window->findChildren<SkinButton*>(Qt::FindDirectChildrenOnly))
            if (button->accessibleName() == QLatin1String(name) && button->toolTip().startsWith(QLatin1String(name)))
                return reader(button);
        throw std::runtime_error(std::string("no button with name and tooltip ") + name);
    }

    static QStringList actions(QAccessibleInterface& element) { return element.actionInterface()->actionNames(); }

    // A screen reader's press, carried out from the event loop.
    void press_by_reader(QAccessibleInterface& element)
    {
        element.actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        platform.run_for(300);
    }
};

TEST_F(ScreenReaderTest, APressByNameSendsThatElementsFrame)
{
    for (const char* name : {"Input YUV", "Output SXGA"})
        press_by_reader(named(frm.get(), name));
    for (const char* name : {"Front Panel Lock on", "Aspect 16:9", "Aspect std", "PC Loop Bypass enable"})
        press_by_reader(named(frm->frm_adj(), name));
    EXPECT_EQ(serial.sent_text(), (std::vector<std::string>{"IN 2", "OU 4", "FP 0", "AS 0", "AS 1", "BY 1"}));

    report('B', 'Y', 0);
    EXPECT_TRUE(named(frm.get(), "PC bypass").state().disabled);
    EXPECT_FALSE(actions(named(frm.get(), "PC bypass")).contains(QAccessibleActionInterface::pressAction()));
}

TEST_F(ScreenReaderTest, RolesAndCheckedStatesFollowTheLitPictures)
{
    QAccessibleInterface& power = named(frm.get(), "Power");
    EXPECT_EQ(power.role(), QAccessible::CheckBox);
    EXPECT_TRUE(power.state().checkable && power.state().checked);
    EXPECT_EQ(power.text(QAccessible::Description), "");
    EXPECT_FALSE(named(frm->frm_video(), "Reset").state().checkable);

    report('O', 'U', 6);
    EXPECT_EQ(named(frm.get(), "Output 720P").role(), QAccessible::RadioButton);
    EXPECT_TRUE(named(frm.get(), "Output 720P").state().checked);
    EXPECT_FALSE(named(frm.get(), "Output VGA").state().checked);
    press_by_reader(named(frm->frm_adj(), "Display off"));
    EXPECT_FALSE(named(frm->frm_adj(), "Display on").state().checked);

    report('P', 'W', 0);
    EXPECT_FALSE(power.state().checked);
    EXPECT_FALSE(named(frm.get(), "Output 720P").state().checked);
}

TEST_F(ScreenReaderTest, PortsTellWhetherTheyOpened)
{
    EXPECT_TRUE(named(frm.get(), "Port COM1").state().checked);
    EXPECT_EQ(named(frm.get(), "Port COM1").text(QAccessible::Description), "on");
    EXPECT_EQ(named(frm.get(), "Port COM2").text(QAccessible::Description), "off");
    // Nothing answers on port 2.
    press(20);
    EXPECT_FALSE(named(frm.get(), "Port COM2").state().checked);
    EXPECT_EQ(named(frm.get(), "Port COM2").text(QAccessible::Description), "error");
}

TEST_F(ScreenReaderTest, SlidersAndWindowsAreNamed)
{
    const char* sliders[] = {"BRIGHT", "CONTRAST", "COLOR", "SHARP", "TINT", "VOLUME"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(reader(frm->frm_video()->hsr_video(i)).text(QAccessible::Name), sliders[i]);
        EXPECT_EQ(frm->frm_video()->hsr_video(i)->toolTip(), sliders[i]);
    }
    report('C', 'O', 40);
    EXPECT_EQ(reader(frm->frm_video()->hsr_video(1)).valueInterface()->currentValue(), 40);

    const std::pair<QWidget*, QString> windows[] = {
        {frm.get(), "Video Scaler"},
        {frm->frm_adj(), "Video Scaler – Adjustments"},
        {frm->frm_video(), "Video Scaler – Video"},
    };
    for (const auto& [window, title] : windows) {
        EXPECT_EQ(reader(window).role(), QAccessible::Window);
        EXPECT_EQ(reader(window).text(QAccessible::Name), title);
    }
}

}  // namespace
}  // namespace plenvo::testing
