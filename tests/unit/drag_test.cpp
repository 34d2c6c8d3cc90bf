// Dragging the borderless windows as one docked group.

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>

#include "support/panel_fixture.h"

namespace plenvo::testing {
namespace {

class DragTest : public PanelTest {
protected:
    void SetUp() override
    {
        write_settings("1500\r\n3000\r\n1\r\n");
        start();
    }

    // A mouse event as the window system delivers it, so that it takes the
    // same way to its handler as a real one (propagation included).
    // `at` is the pointer's place on the screen as the event tells it.
    static void mouse(QWidget& target, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton)
    {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent event(type, QPointF(2, 2), QPointF(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(&target, &event);
    }

    void drag(QWidget& target, QPoint from, QPoint to, Qt::MouseButton button = Qt::LeftButton)
    {
        platform.set_cursor(from);
        mouse(target, QEvent::MouseButtonPress, from, button);
        platform.set_cursor(to);
        mouse(target, QEvent::MouseMove, to, button);
        mouse(target, QEvent::MouseButtonRelease, to, button);
    }

    QPoint place(const SkinWindow& window) const { return {window.Left(), window.Top()}; }
};

TEST_F(DragTest, TheMainWindowFollowsTheCursorAndTheCompanionsStayDocked)
{
    press(15);
    press(16);
    drag(*frm, {100, 100}, {150, 130});
    EXPECT_EQ(place(*frm), QPoint(3000 + 50 * 15, 1500 + 30 * 15));
    EXPECT_EQ(place(*frm->frm_adj()), QPoint(3750 + 7050, 1950));
    EXPECT_EQ(place(*frm->frm_video()), QPoint(3750, 1950 + 2625));
    EXPECT_FALSE(frm->group().dragging());
}

TEST_F(DragTest, AnyMouseButtonDrags)
{
    drag(*frm, {100, 100}, {110, 100}, Qt::RightButton);
    EXPECT_EQ(frm->Left(), 3150);
    drag(*frm, {100, 100}, {90, 100}, Qt::MiddleButton);
    EXPECT_EQ(frm->Left(), 3000);
}

TEST_F(DragTest, TheOffsetsAreTakenOnceFromWhereThePressWas)
{
    // The pointer has moved on by the time the press is handled.
    platform.set_cursor({110, 100});
    mouse(*frm, QEvent::MouseButtonPress, {100, 100});
    for (int x = 111; x <= 140; ++x) {
        platform.set_cursor({x, 100});
        mouse(*frm, QEvent::MouseMove, {x, 100});
    }
    mouse(*frm, QEvent::MouseButtonRelease, {140, 100});
    EXPECT_EQ(frm->Left(), 3000 + 40 * 15) << "the whole way from the press, and many small moves add no drift";
}

TEST_F(DragTest, ACursorOnTheScreensEdgeCountsAsThreePixelsIn)
{
    drag(*frm, {100, 200}, {0, 200});
    EXPECT_EQ(frm->Left(), 3000 + (3 - 100) * 15);
    EXPECT_EQ(frm->group().cursor_pos(), QPoint(3, 200));
    drag(*frm, {100, 200}, {100, 0});
    EXPECT_EQ(frm->Top(), 5) << "three pixels in, then snapped to the top edge";
}

TEST_F(DragTest, ADraggedWindowSnapsToTheTopEdgeOnlyWhenClose)
{
    drag(*frm, {100, 200}, {100, 200 - 1500 / 15 + 10});
    EXPECT_EQ(frm->Top(), 150);
    drag(*frm, {100, 200}, {100, 199});
    EXPECT_EQ(frm->Top(), 5);
    EXPECT_EQ(frm->group().win_top(), 5);
}

// The default simulated screen, 1920 by 1080 pixels, in twips, and the
// 32 pixels of the main window that always stay on it.
constexpr int kScreenWidth = 1920 * 15;
constexpr int kScreenHeight = 1080 * 15;
constexpr int kGrip = 32 * 15;

TEST_F(DragTest, AtEveryEdgeTheMainWindowStopsWhere32PixelsOfItStillShow)
{
    drag(*frm, {500, 100}, {10, 100});
    EXPECT_EQ(frm->Left(), 3000 - 490 * 15) << "partly off the left edge";
    drag(*frm, {700, 100}, {10, 100});
    EXPECT_EQ(frm->Left(), kGrip - 7050);
    drag(*frm, {100, 100}, {2500, 1300});
    EXPECT_EQ(place(*frm), QPoint(kScreenWidth - kGrip, kScreenHeight - kGrip));
    EXPECT_EQ(frm->group().win_top(), kScreenHeight - kGrip);
}

TEST_F(DragTest, DraggingTheAdjustmentWindowMovesTheMainWindowOnly)
{
    press(15);
    FrmAdj& adj = *frm->frm_adj();
    drag(adj, {600, 100}, {620, 110});
    EXPECT_EQ(place(adj), QPoint(3000 + 7050 + 300, 1500 + 150));
    EXPECT_EQ(place(*frm), QPoint(3300, 1650));
    EXPECT_EQ(frm->frm_video(), nullptr) << "the closed companion is not touched";
    EXPECT_EQ(frm->group().win_top(), 1650);
}

TEST_F(DragTest, TheMainWindowFollowsTheVideoWindowWithoutSnappingUpToItsLast32Pixels)
{
    press(15);
    press(16);
    FrmVideo& video = *frm->frm_video();
    drag(video, {300, 400}, {300, 200});
    EXPECT_EQ(video.Top(), 1500 + 2625 - 200 * 15);
    EXPECT_EQ(frm->Top(), 1500 - 200 * 15) << "above the screen's top edge, not snapped";

    drag(video, {300, 400}, {300, 1});
    EXPECT_EQ(frm->Top(), kGrip - 2625);
    EXPECT_EQ(video.Top(), kGrip) << "held back with the main window, still docked";
    EXPECT_EQ(place(*frm->frm_adj()), QPoint(frm->Left() + 7050, kGrip - 2625));
    EXPECT_EQ(frm->group().win_top(), kGrip) << "the dragged window's top, not the main window's";
}

TEST_F(DragTest, AMoveWithoutAPressChangesNothing)
{
    platform.set_cursor({500, 500});
    frm->group().Form_MouseMove(*frm);
    mouse(*frm, QEvent::MouseMove, {500, 500});
    EXPECT_EQ(place(*frm), QPoint(3000, 1500));
}

TEST_F(DragTest, TheMessageLineDragsTheMainWindow)
{
    drag(*frm->lab_msg(), {100, 100}, {110, 120});
    EXPECT_EQ(place(*frm), QPoint(3150, 1800));
}

TEST_F(DragTest, APressOnAnElementNeverStartsADrag)
{
    press(2);  // the unit does not allow the bypass
    ASSERT_FALSE(frm->img_btn(13)->isEnabled());
    drag(*frm->img_btn(13), {100, 100}, {200, 200});
    EXPECT_FALSE(frm->group().dragging());
    EXPECT_EQ(place(*frm), QPoint(3000, 1500));

    drag(*frm->lab_ver(), {100, 100}, {200, 200});
    EXPECT_EQ(place(*frm), QPoint(3000, 1500)) << "labels pass presses on; they must not drag";

    forget_sent();
    drag(*frm->img_btn(9), {100, 100}, {200, 200});
    EXPECT_EQ(place(*frm), QPoint(3000, 1500));
    EXPECT_EQ(serial.sent_text(), std::vector<std::string>{"OU 3"});
}

TEST_F(DragTest, ADisabledCompanionCannotBeDragged)
{
    press(15);
    press(0);
    ASSERT_FALSE(frm->frm_adj()->isEnabled());
    const QPoint before = place(*frm->frm_adj());
    drag(*frm->frm_adj(), {600, 100}, {700, 200});
    EXPECT_EQ(place(*frm->frm_adj()), before);
    EXPECT_EQ(place(*frm), QPoint(3000, 1500));
}

TEST_F(DragTest, ADragEndsAtTheReleaseEvenWhenItsWindowWasSwitchedOffMeanwhile)
{
    power_on_with_companions();
    FrmAdj& adj = *frm->frm_adj();
    platform.set_cursor({600, 100});
    mouse(adj, QEvent::MouseButtonPress, {600, 100});
    ASSERT_TRUE(frm->group().dragging());
    report('P', 'W', 0);
    ASSERT_FALSE(adj.isEnabled());
    mouse(adj, QEvent::MouseButtonRelease, {600, 100});
    EXPECT_FALSE(frm->group().dragging());

    // A press on the logo starts no drag, so its moves leave the group be.
    QWidget* logo = frm->childAt(10, 10);
    ASSERT_NE(logo, nullptr);
    const QPoint before = place(*frm);
    drag(*logo, {100, 100}, {300, 300});
    EXPECT_EQ(place(*frm), before);
    EXPECT_EQ(place(adj), before + QPoint(7050, 0));
}

}  // namespace
}  // namespace plenvo::testing
