// The three windows without a mouse: the Tab order, keys on the buttons and
// the sliders, and the focus mark.

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>

#include <stdexcept>

#include "skin/skin.h"
#include "support/panel_fixture.h"

namespace plenvo::testing {
namespace {

class KeyboardTest : public PanelTest {
protected:
    void SetUp() override
    {
        start();
        forget_sent();
    }

    // A key as the window system delivers it: to the active window's focus
    // widget, passed on to its parents while nobody takes it.
    static void type(int key)
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
        QApplication::sendEvent(target, &release);
    }

    static std::string focused()
    {
        QWidget* widget = QApplication::focusWidget();
        return widget ? widget->accessibleName().toStdString() : "(none)";
    }

    // The focus as the window opens, then after each Tab.
    static std::vector<std::string> tab_round(QWidget& window, int tabs)
    {
        QApplication::setActiveWindow(&window);
        std::vector<std::string> names{focused()};
        for (int i = 0; i < tabs; ++i) {
            type(Qt::Key_Tab);
            names.push_back(focused());
        }
        return names;
    }

    static SkinButton& named(const QWidget& window, const QString& name)
    {
        for (SkinButton* button : window.findChildren<SkinButton*>(Qt::FindDirectChildrenOnly))
            if (button->accessibleName() == name)
                return *button;
        throw std::runtime_error("no button " + name.toStdString());
    }

    // The user tabs onto `name` in the main window.
    void focus_main(const char* name)
    {
        QApplication::setActiveWindow(frm.get());
        named(*frm, QString::fromLatin1(name)).setFocus(Qt::TabFocusReason);
        ASSERT_EQ(focused(), name);
    }
};

TEST_F(KeyboardTest, TabGoesRowByRowThroughTheMainPanelAndRoundAgain)
{
    report('B', 'Y', 1);
    const std::vector<std::string> order{
        "Minimise",    "Exit",         "Port COM1",   "Port COM2",   "Power",       "Input CV",    "Input YUV",
        "Output VGA",  "Output SVGA",  "Output XGA",  "Output SXGA", "Input SV",    "Input PC",    "Output 480P",
        "Output 576P", "Output 720P",  "Output 1080I", "PC bypass",  "Video",       "Adjustments", "Minimise",
    };
    // Never into the hidden diagnostic box or its button.
    EXPECT_EQ(tab_round(*frm, 20), order);
    type(Qt::Key_Backtab);
    EXPECT_EQ(focused(), "Adjustments");
}

TEST_F(KeyboardTest, EachCompanionWindowHasItsOwnTabRound)
{
    power_on_with_companions();
    const std::vector<std::string> adj{
        "PC Loop Bypass enable", "PC Loop Bypass disable", "Osd on", "Osd off", "Digital NR on", "Digital NR off",
        "Display on", "Display off", "3D Enhance on", "3D Enhance off", "Aspect std", "Aspect 4:3", "Aspect 16:9",
        "Front Panel Lock on", "Front Panel Lock off", "IR Sensor on", "IR Sensor off", "Blank on", "Blank off",
        "Freeze on", "Freeze off", "PC Loop Bypass enable",
    };
    EXPECT_EQ(tab_round(*frm->frm_adj(), 21), adj);
    // The reset button spans both rows of sliders at the right.
    const std::vector<std::string> video{"BRIGHT", "CONTRAST", "COLOR", "Reset", "SHARP", "TINT", "VOLUME", "BRIGHT"};
    EXPECT_EQ(tab_round(*frm->frm_video(), 7), video);
}

TEST_F(KeyboardTest, SpaceAndEnterPressTheFocusedButtonAndTheFocusStaysOnIt)
{
    focus_main("Power");
    type(Qt::Key_Space);
    type(Qt::Key_Enter);
    // The press disabled the panel's buttons for its run, this one too.
    EXPECT_EQ(focused(), "Power");
    focus_main("Output 720P");
    type(Qt::Key_Return);
    EXPECT_EQ(serial.sent_text(), (std::vector<std::string>{"PW 0", "PW 1", "OU 6"}));
    EXPECT_EQ(picture(12), "720p_on");
}

TEST_F(KeyboardTest, AHeldKeyPressesOnce)
{
    focus_main("Power");
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(QApplication::focusWidget(), &repeat);
    EXPECT_TRUE(serial.sent.empty());
}

TEST_F(KeyboardTest, AButtonDisabledUnderTheFocusStaysDeadToKeys)
{
    report('B', 'Y', 1);
    focus_main("PC bypass");
    report('B', 'Y', 0);
    forget_sent();
    type(Qt::Key_Space);
    type(Qt::Key_Return);
    EXPECT_TRUE(serial.sent.empty());
    type(Qt::Key_Tab);
    EXPECT_EQ(focused(), "Video");
}

TEST_F(KeyboardTest, OtherKeysDoNothing)
{
    focus_main("Exit");
    for (int key : {Qt::Key_Escape, Qt::Key_A, Qt::Key_Delete, Qt::Key_Up, Qt::Key_F4})
        type(key);
    EXPECT_TRUE(serial.sent.empty());
    EXPECT_TRUE(frm->isVisible());
    EXPECT_FALSE(frm->is_unloaded());
    EXPECT_EQ(focused(), "Exit");
}

TEST_F(KeyboardTest, SliderKeysMoveByStepsAndSendEachValue)
{
    power_on_with_companions();
    forget_sent();
    QApplication::setActiveWindow(frm->frm_video());
    frm->frm_video()->hsr_video(0)->setFocus(Qt::TabFocusReason);
    // BRIGHT starts at 31; the page step is 7.
    for (int key : {Qt::Key_Right, Qt::Key_Left, Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown,
                    Qt::Key_End, Qt::Key_Right, Qt::Key_Home, Qt::Key_Left})
        type(key);
    EXPECT_EQ(serial.sent_text(), (std::vector<std::string>{"BR 32", "BR 31", "BR 32", "BR 31", "BR 38", "BR 31",
                                                            "BR 63", "BR 0"}));
    EXPECT_EQ(frm->frm_video()->lab_video(0)->text(), "0");
}

TEST_F(KeyboardTest, TheFocusMarkShowsOnceTheKeyboardIsUsed)
{
    QApplication::setActiveWindow(frm.get());
    SkinButton& exit = named(*frm, "Exit");
    const QImage plain = exit.grab().toImage();
    ASSERT_EQ(focused(), "Minimise");
    // Focused as the window opened: a mouse user sees no mark.
    EXPECT_EQ(named(*frm, "Minimise").grab().toImage(), skin_picture(skin::kMinimise).toImage());

    type(Qt::Key_Tab);
    const QImage marked = exit.grab().toImage();
    EXPECT_NE(marked.pixel(1, 1), plain.pixel(1, 1));
    EXPECT_EQ(marked.pixel(exit.width() / 2, exit.height() / 2), plain.pixel(exit.width() / 2, exit.height() / 2));

    type(Qt::Key_Tab);
    EXPECT_EQ(exit.grab().toImage(), plain);
}

}  // namespace
}  // namespace plenvo::testing
