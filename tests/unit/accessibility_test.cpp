// What a screen reader learns of the three windows through Qt's
// accessibility interfaces: names, roles, lit states, values and presses.

#include <QAccessible>
#include <QCoreApplication>
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

    static QAccessibleInterface& reader(QWidget& widget) { return *QAccessible::queryAccessibleInterface(&widget); }

    static QAccessibleInterface& named(const QWidget& window, const QString& name)
    {
        for (SkinButton* button : window.findChildren<SkinButton*>(Qt::FindDirectChildrenOnly))
            if (button->accessibleName() == name)
                return reader(*button);
        throw std::runtime_error("no button " + name.toStdString());
    }

    QAccessibleInterface& main(const char* name) const { return named(*frm, QString::fromLatin1(name)); }
    QAccessibleInterface& adj(const char* name) const { return named(*frm->frm_adj(), QString::fromLatin1(name)); }

    // A screen reader's press: carried out from the event loop.
    void press_by_reader(QAccessibleInterface& element)
    {
        ASSERT_TRUE(element.actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
        element.actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        platform.run_for(300);
    }
};

TEST_F(ScreenReaderTest, EveryElementHasItsOwnNameAlsoAsTooltip)
{
    const std::pair<QWidget*, qsizetype> windows[] = {{frm.get(), 20}, {frm->frm_adj(), 21}, {frm->frm_video(), 1}};
    for (auto [window, count] : windows) {
        QStringList names;
        for (SkinButton* button : window->findChildren<SkinButton*>(Qt::FindDirectChildrenOnly)) {
            EXPECT_EQ(reader(*button).text(QAccessible::Name), button->accessibleName());
            EXPECT_EQ(button->toolTip(), button->accessibleName());
            names.append(button->accessibleName());
        }
        names.removeDuplicates();
        names.removeAll(QString());
        EXPECT_EQ(names.size(), count) << window->windowTitle().toStdString();
    }
}

TEST_F(ScreenReaderTest, APressByNameSendsThatElementsFrame)
{
    press_by_reader(main("Input YUV"));
    press_by_reader(main("Output SXGA"));
    press_by_reader(adj("Front Panel Lock on"));
    press_by_reader(adj("Aspect 16:9"));
    press_by_reader(adj("Aspect std"));
    press_by_reader(adj("PC Loop Bypass enable"));
    EXPECT_EQ(serial.sent_text(), (std::vector<std::string>{"IN 2", "OU 4", "FP 0", "AS 0", "AS 1", "BY 1"}));
}

TEST_F(ScreenReaderTest, ADisabledButtonOffersNoPress)
{
    report('B', 'Y', 0);
    QAccessibleInterface& bypass = main("PC bypass");
    EXPECT_TRUE(bypass.state().disabled);
    EXPECT_FALSE(bypass.actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
}

TEST_F(ScreenReaderTest, RolesAndCheckedStatesFollowTheLitPictures)
{
    EXPECT_EQ(main("Power").role(), QAccessible::CheckBox);
    EXPECT_TRUE(main("Power").state().checkable);
    EXPECT_TRUE(main("Power").state().checked);
    EXPECT_TRUE(main("Adjustments").state().checked);
    EXPECT_EQ(main("Exit").role(), QAccessible::Button);
    EXPECT_FALSE(main("Exit").state().checkable);
    EXPECT_EQ(reader(*frm->frm_video()->img_btn()).role(), QAccessible::Button);

    report('O', 'U', 6);
    EXPECT_EQ(main("Output 720P").role(), QAccessible::RadioButton);
    EXPECT_TRUE(main("Output 720P").state().checked);
    EXPECT_FALSE(main("Output VGA").state().checked);

    press_by_reader(adj("Display off"));
    EXPECT_TRUE(adj("Display off").state().checked);
    EXPECT_FALSE(adj("Display on").state().checked);

    report('P', 'W', 0);
    EXPECT_FALSE(main("Power").state().checked);
    EXPECT_FALSE(main("Output 720P").state().checked);
}

TEST_F(ScreenReaderTest, PortsTellWhetherTheyOpened)
{
    EXPECT_EQ(main("Port COM1").role(), QAccessible::RadioButton);
    EXPECT_TRUE(main("Port COM1").state().checked);
    EXPECT_EQ(main("Port COM1").text(QAccessible::Description), "on");
    EXPECT_EQ(main("Port COM2").text(QAccessible::Description), "off");
    // Nothing answers on port 2.
    press(20);
    EXPECT_FALSE(main("Port COM2").state().checked);
    EXPECT_EQ(main("Port COM2").text(QAccessible::Description), "error");
    EXPECT_EQ(main("Power").text(QAccessible::Description), "");
}

TEST_F(ScreenReaderTest, SlidersAreNamedAndCarryTheirValue)
{
    const char* names[] = {"BRIGHT", "CONTRAST", "COLOR", "SHARP", "TINT", "VOLUME"};
    for (int i = 0; i < 6; ++i) {
        QAccessibleInterface& slider = reader(*frm->frm_video()->hsr_video(i));
        EXPECT_EQ(slider.text(QAccessible::Name), names[i]);
        EXPECT_EQ(frm->frm_video()->hsr_video(i)->toolTip(), names[i]);
    }
    report('C', 'O', 40);
    EXPECT_EQ(reader(*frm->frm_video()->hsr_video(1)).valueInterface()->currentValue(), 40);
}

TEST_F(ScreenReaderTest, EachWindowIsAWindowNamedByItsTitle)
{
    const std::pair<QWidget*, QString> windows[] = {
        {frm.get(), "Video Scaler"},
        {frm->frm_adj(), "Video Scaler – Adjustments"},
        {frm->frm_video(), "Video Scaler – Video"},
    };
    for (const auto& [window, title] : windows) {
        EXPECT_EQ(window->windowTitle(), title);
        EXPECT_EQ(reader(*window).role(), QAccessible::Window);
        EXPECT_EQ(reader(*window).text(QAccessible::Name), title);
    }
}

}  // namespace
}  // namespace plenvo::testing
