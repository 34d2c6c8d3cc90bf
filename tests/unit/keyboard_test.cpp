// The three windows without a mouse: the Tab order, keys on the buttons and
// the sliders, and the focus mark.

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>

#include "support/panel_fixture.h"

namespace plenvo::testing {
namespace {

class KeyboardTest : public PanelTest {
protected:
    void SetUp() override
    {
        start();
        report('B', 'Y', 1);
        forget_sent();
    }

    // A key as the window system delivers it: to the active window's focus
    // widget, passed on to its parents while nobody takes it. The clock
    // then runs until what it started is done.
    void type(int key)
    {
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent event(type, key, Qt::NoModifier);
            QApplication::sendEvent(QApplication::focusWidget(), &event);
        }
        settle();
    }

    static std::string focused() { return QApplication::focusWidget()->accessibleName().toStdString(); }

    // The focus as the window opens, then after each Tab.
    std::vector<std::string> tab_round(QWidget& window, int tabs)
    {
        QApplication::setActiveWindow(&window);
        std::vector<std::string> names{focused()};
        for (int i = 0; i < tabs; ++i) {
            type(Qt::Key_Tab);
            names.push_back(focused());
        }
        return names;
    }

    void focus(QWidget& widget)
    {
        QApplication::setActiveWindow(widget.window());
        widget.setFocus(Qt::TabFocusReason);
    }
};

TEST_F(KeyboardTest, TabGoesRowByRowRoundEachWindow)
{
    // Never into the hidden diagnostic box or its button.
    EXPECT_EQ(tab_round(*frm, 20), (std::vector<std::string>{
        "Minimise", "Exit", "Port COM1", "Port COM2", "Power", "Input CV", "Input YUV", "Output VGA",
        "Output SVGA", "Output XGA", "Output SXGA", "Input SV", "Input PC", "Output 480P", "Output 576P",
        "Output 720P", "Output 1080I", "PC bypass", "Video", "Adjustments", "Minimise"}));
    type(Qt::Key_Backtab);
    EXPECT_EQ(focused(), "Adjustments");

    power_on_with_companions();
    EXPECT_EQ(tab_round(*frm->frm_adj(), 21), (std::vector<std::string>{
        "PC Loop Bypass enable", "PC Loop Bypass disable", "Osd on", "Osd off", "Digital NR on", "Digital NR off",
        "Display on", "Display off", "3D Enhance on", "3D Enhance off", "Aspect std", "Aspect 4:3", "Aspect 16:9",
        "Front Panel Lock on", "Front Panel Lock off", "IR Sensor on", "IR Sensor off", "Blank on", "Blank off",
        "Freeze on", "Freeze off", "PC Loop Bypass enable"}));
    // The reset button spans both rows of sliders at the right.
    EXPECT_EQ(tab_round(*frm->frm_video(), 7), (std::vector<std::string>{
        "BRIGHT", "CONTRAST", "COLOR", "Reset", "SHARP", "TINT", "VOLUME", "BRIGHT"}));
}

TEST_F(KeyboardTest, SpaceAndEnterPressTheFocusedButtonWhichKeepsTheFocus)
{
    focus(*frm->img_btn(0));
    for (int key : {Qt::Key_Escape, Qt::Key_A, Qt::Key_Up})
        type(key);
    type(Qt::Key_Space);
    type(Qt::Key_Enter);
    // The press disabled the panel's buttons until the unit answered, this
    // one too.
    EXPECT_EQ(focused(), "Power");
    focus(*frm->img_btn(12));
    type(Qt::Key_Return);
    EXPECT_EQ(serial.sent_text(), (std::vector<std::string>{"PW 0", "PW 1", "OU 6"}));
    EXPECT_TRUE(frm->isVisible());
}

TEST_F(KeyboardTest, SliderKeysMoveByStepsAndSendEachValue)
{
    power_on_with_companions();
    forget_sent();
    focus(*frm->frm_video()->hsr_video(0));
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
    SkinButton& minimise = *frm->img_btn(21);
    const QImage plain = minimise.grab().toImage();
    QApplication::setActiveWindow(frm.get());
    ASSERT_EQ(focused(), "Minimise");
    // Focused as the window opened: a mouse user sees no mark.
    EXPECT_EQ(minimise.grab().toImage(), plain);
    tab_round(*frm, 20);
    const QImage marked = minimise.grab().toImage();
    EXPECT_NE(marked.pixel(1, 1), plain.pixel(1, 1));
    EXPECT_EQ(marked.pixel(7, 6), plain.pixel(7, 6));
    type(Qt::Key_Tab);
    EXPECT_EQ(minimise.grab().toImage(), plain);
}

}  // namespace
}  // namespace plenvo::testing
