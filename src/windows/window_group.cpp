// Dragging the borderless windows as one docked group.

#include "windows/window_group.h"

#include <QApplication>
#include <QEvent>

#include "windows/screen_fit.h"
#include "windows/skin_widgets.h"

namespace plenvo {

namespace {

// Closer to the screen's top edge than this, a dragged window snaps to it.
constexpr int kTopSnapTwips = 150;
constexpr int kTopSnappedTwips = 5;
// A cursor on the screen's very edge reads as a little way in.
constexpr int kEdgeCursorPixels = 3;

}  // namespace

WindowGroup::WindowGroup(SkinWindow& main) : main_(main), platform_(main.platform())
{
    attach_drag(main_);
}

WindowGroup::~WindowGroup() = default;

void WindowGroup::add(SkinWindow& companion, Dock side)
{
    (side == Dock::Right ? right_ : below_) = &companion;
    dock(companion, side);
    attach_drag(companion);
}

void WindowGroup::remove(SkinWindow& companion)
{
    if (right_ == &companion)
        right_ = nullptr;
    if (below_ == &companion)
        below_ = nullptr;
}

void WindowGroup::dock(SkinWindow& companion, Dock side) const
{
    if (side == Dock::Right) {
        companion.set_Top(main_.Top());
        companion.set_Left(main_.Left() + main_.Width());
    } else {
        companion.set_Top(main_.Top() + main_.Height());
        companion.set_Left(main_.Left());
    }
}

void WindowGroup::attach_drag(SkinWindow& window)
{
    window.on_drag_press = [this, &window](QPoint pressed_at) { Form_MouseDown(window, pressed_at); };
    window.on_drag_move = [this, &window] { Form_MouseMove(window); };
    window.on_drag_release = [this] { Form_MouseUp(); };
}

// Where a window of the group sits against the main window's place.
QPoint WindowGroup::docked_at(const SkinWindow& window) const
{
    if (&window == right_.data())
        return {main_.Width(), 0};
    if (&window == below_.data())
        return {0, main_.Height()};
    return {};
}

// How far the group must be taken back for the main window, were it put at
// `main_place`, to show a grip's worth on the screen.
QPoint WindowGroup::back_onto_screen(QPoint main_place) const
{
    return keep_on_screen(main_place, {main_.Width(), main_.Height()}, platform_.screen_twips(),
                          grip_twips(platform_)) -
           main_place;
}

void WindowGroup::Form_MouseDown(SkinWindow& window, QPoint pressed_at)
{
    dragging_ = true;
    // The release ends the drag wherever it goes: a companion disabled
    // under the pointer (the unit switched off) never sees its own.
    qApp->installEventFilter(this);
    // Where the press was, not where the pointer is by the time the press
    // is handled: on a busy machine it may have moved on already.
    cursor_pos_ = pressed_at;
    drag_off_y_ = round_twips(window.Top() - double(platform_.twips_per_pixel_y()) * cursor_pos_.y());
    drag_off_x_ = round_twips(window.Left() - double(platform_.twips_per_pixel_x()) * cursor_pos_.x());
}

void WindowGroup::Form_MouseMove(SkinWindow& window)
{
    if (!dragging_)
        return;
    cursor_pos_ = platform_.cursor_pos();
    if (cursor_pos_.x() == 0)
        cursor_pos_.setX(kEdgeCursorPixels);
    if (cursor_pos_.y() == 0)
        cursor_pos_.setY(kEdgeCursorPixels);

    const int left = platform_.twips_per_pixel_x() * cursor_pos_.x() + drag_off_x_;
    int top = round_twips(double(platform_.twips_per_pixel_y()) * cursor_pos_.y() + drag_off_y_);
    if (top < kTopSnapTwips)
        top = kTopSnappedTwips;

    // The group stops where the main window would show less than a grip's
    // worth on the screen; the companions keep their docking.
    const QPoint docked = docked_at(window);
    const QPoint back = back_onto_screen(QPoint(left, top) - docked);
    window.set_Left(left + back.x());
    win_top_ = top + back.y();
    window.set_Top(win_top_);

    // The main window follows a dragged companion without the snap.
    if (&window != &main_) {
        main_.set_Top(window.Top() - docked.y());
        main_.set_Left(window.Left() - docked.x());
    }
    if (right_ && &window != right_.data())
        dock(*right_, Dock::Right);
    if (below_ && &window != below_.data())
        dock(*below_, Dock::Below);
}

void WindowGroup::Form_MouseUp()
{
    dragging_ = false;
    qApp->removeEventFilter(this);
}

bool WindowGroup::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease && dragging_)
        Form_MouseUp();
    return QObject::eventFilter(watched, event);
}

}  // namespace plenvo
