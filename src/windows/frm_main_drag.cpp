// Dragging the borderless windows as one docked group, and the message line.

#include <QApplication>
#include <QEvent>
#include <QLabel>

#include "windows/frm_adj.h"
#include "windows/frm_main.h"
#include "windows/screen_fit.h"
#include "windows/frm_video.h"

namespace plenvo {

namespace {

// Closer to the screen's top edge than this, a dragged window snaps to it.
constexpr int kTopSnapTwips = 150;
constexpr int kTopSnappedTwips = 5;
// A cursor on the screen's very edge reads as a little way in.
constexpr int kEdgeCursorPixels = 3;

// Where a window of the group sits against the main window's place.
QPoint docked_at(const FrmMain& main, const SkinWindow& window)
{
    if (&window == main.frm_adj())
        return {main.Width(), 0};
    if (&window == main.frm_video())
        return {0, main.Height()};
    return {};
}

// How far the group must be taken back for the main window, were it put at
// `main_place`, to show a grip's worth on the screen.
QPoint back_onto_screen(const FrmMain& main, QPoint main_place)
{
    const Platform& platform = main.platform();
    return keep_on_screen(main_place, {main.Width(), main.Height()}, platform.screen_twips(), grip_twips(platform)) -
           main_place;
}

}  // namespace

void FrmMain::attach_drag(SkinWindow& window)
{
    window.on_drag_press = [this, &window] { Form_MouseDown(window); };
    window.on_drag_move = [this, &window] { Form_MouseMove(window); };
    window.on_drag_release = [this] { Form_MouseUp(); };
}

void FrmMain::Form_MouseDown(SkinWindow& window)
{
    shell.dragging = true;
    // The release ends the drag wherever it goes: a companion disabled
    // under the pointer (the unit switched off) never sees its own.
    qApp->installEventFilter(this);
    shell.cursor_pos = platform().cursor_pos();
    shell.drag_off_y = round_twips(window.Top() - double(platform().twips_per_pixel_y()) * shell.cursor_pos.y());
    shell.drag_off_x = round_twips(window.Left() - double(platform().twips_per_pixel_x()) * shell.cursor_pos.x());
}

void FrmMain::Form_MouseMove(SkinWindow& window)
{
    if (!shell.dragging)
        return;
    shell.cursor_pos = platform().cursor_pos();
    if (shell.cursor_pos.x() == 0)
        shell.cursor_pos.setX(kEdgeCursorPixels);
    if (shell.cursor_pos.y() == 0)
        shell.cursor_pos.setY(kEdgeCursorPixels);

    const int left = platform().twips_per_pixel_x() * shell.cursor_pos.x() + shell.drag_off_x;
    int top = round_twips(double(platform().twips_per_pixel_y()) * shell.cursor_pos.y() + shell.drag_off_y);
    if (top < kTopSnapTwips)
        top = kTopSnappedTwips;

    // The group stops where the main window would show less than a grip's
    // worth on the screen; the companions keep their docking.
    const QPoint docked = docked_at(*this, window);
    const QPoint back = back_onto_screen(*this, QPoint(left, top) - docked);
    window.set_Left(left + back.x());
    shell.win_top = top + back.y();
    window.set_Top(shell.win_top);

    // The main window follows a dragged companion without the snap.
    if (&window != this) {
        set_Top(window.Top() - docked.y());
        set_Left(window.Left() - docked.x());
    }
    if (&window != adj_.data() && state.adj_open && adj_)
        dock_right(*adj_);
    if (&window != video_.data() && state.video_open && video_)
        dock_below(*video_);
}

void FrmMain::Form_MouseUp()
{
    shell.dragging = false;
    qApp->removeEventFilter(this);
}

void FrmMain::dock_right(SkinWindow& window) const
{
    window.set_Top(Top());
    window.set_Left(Left() + Width());
}

void FrmMain::dock_below(SkinWindow& window) const
{
    window.set_Top(Top() + Height());
    window.set_Left(Left());
}

bool FrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease && shell.dragging)
        Form_MouseUp();
    if (watched != static_cast<QObject*>(lab_msg_))
        return SkinWindow::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: Form_MouseDown(*this); return true;
    case QEvent::MouseMove: Form_MouseMove(*this); return true;
    case QEvent::MouseButtonRelease: Form_MouseUp(); return true;
    default: return false;
    }
}

}  // namespace plenvo
