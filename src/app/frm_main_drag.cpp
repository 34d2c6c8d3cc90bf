// Dragging the borderless windows as one docked group, and the message line.

#include <QEvent>
#include <QLabel>


#include "adjust/frm_adj.h"
#include "app/frm_main.h"
#include "video/frm_video.h"

namespace plenvo {

namespace {

// Closer to the screen's top edge than this, a dragged window snaps to it.
constexpr int kTopSnapTwips = 150;
constexpr int kTopSnappedTwips = 5;
// A cursor on the screen's very edge reads as a little way in.
constexpr int kEdgeCursorPixels = 3;

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

    window.set_Left(float(platform().twips_per_pixel_x()) * float(shell.cursor_pos.x()) + float(shell.drag_off_x));
    shell.win_top = round_twips(double(platform().twips_per_pixel_y()) * shell.cursor_pos.y() + shell.drag_off_y);
    if (shell.win_top < kTopSnapTwips)
        shell.win_top = kTopSnappedTwips;
    window.set_Top(shell.win_top);

    // The main window follows a dragged companion without the snap.
    if (&window == adj_.data()) {
        set_Top(adj_->Top());
        set_Left(adj_->Left() - Width());
    } else if (&window == video_.data()) {
        set_Top(video_->Top() - Height());
        set_Left(video_->Left());
    }
    if (&window != adj_.data() && state.adj_open && adj_)
        dock_right(*adj_);
    if (&window != video_.data() && state.video_open && video_)
        dock_below(*video_);
}

void FrmMain::Form_MouseUp()
{
    shell.dragging = false;
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
