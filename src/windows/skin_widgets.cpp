#include "windows/skin_widgets.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <utility>

#include "windows/accessibility.h"
#include "base/platform.h"
#include "skin/skin.h"

namespace plenvo {

int32_t round_twips(double twips)
{
    return int32_t(std::nearbyint(twips));
}

QPixmap skin_picture(QByteArrayView name)
{
    return skin::picture(QLatin1StringView(name.data(), name.size()));
}

bool lit_picture(QByteArrayView name)
{
    return name.endsWith("_on");
}

SkinButton::SkinButton(int index, QWidget* parent) : QWidget(parent), index_(index)
{
    install_skin_accessibility();
    setAttribute(Qt::WA_NoMousePropagation);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

void SkinButton::show_picture(QByteArrayView name)
{
    const QByteArray before = std::exchange(picture_name_, name.toByteArray());
    pixmap_ = skin_picture(name);
    // Sized in the window's own pixels: a picture for a scaled screen has
    // twice as many of its own.
    const QSize picture_size = pixmap_.deviceIndependentSize().toSize();
    if (picture_size != size())
        resize(picture_size);
    update();
    announce_picture_change(*this, before);
}

void SkinButton::set_name(const layout::ElementName& name)
{
    role_ = name.role;
    setAccessibleName(QString::fromLatin1(name.name));
    setToolTip(accessibleName());
}

void SkinButton::press()
{
    if (isEnabled() && on_press)
        on_press(index_);
}

void SkinButton::paintEvent(QPaintEvent*)
{
    // Drawn the same enabled or not: the skin itself shows what a button
    // offers (the greyed bypass picture, for one).
    QPainter(this).drawPixmap(0, 0, pixmap_);
    paint_focus_mark(*this);
}

void SkinButton::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (on_press)
        on_press(index_);
}

void SkinButton::keyPressEvent(QKeyEvent* event)
{
    constexpr int kPressKeys[] = {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter};
    if (std::ranges::find(kPressKeys, event->key()) == std::end(kPressKeys)) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    // A key held down presses once.
    if (!event->isAutoRepeat())
        press();
}

bool SkinButton::focusNextPrevChild(bool next)
{
    // Qt moves the focus on from a button disabled while it has it; the
    // main panel disables its buttons while a press is handled, and the
    // focus stays on the button pressed.
    return !isEnabled() || QWidget::focusNextPrevChild(next);
}

SkinWindow::SkinWindow(Platform& platform, const char* background, QColor back_colour, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), platform_(platform),
      background_(skin_picture(background))
{
    install_skin_accessibility();
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, back_colour);
    setPalette(palette);
    setAutoFillBackground(true);
}

SkinWindow::~SkinWindow() = default;

int SkinWindow::px_x(double twips) const
{
    return int(std::lround(twips / platform_.twips_per_pixel_x()));
}

int SkinWindow::px_y(double twips) const
{
    return int(std::lround(twips / platform_.twips_per_pixel_y()));
}

int SkinWindow::Top() const
{
    return y() == px_y(top_twips_) ? round_twips(top_twips_) : y() * platform_.twips_per_pixel_y();
}

int SkinWindow::Left() const
{
    return x() == px_x(left_twips_) ? round_twips(left_twips_) : x() * platform_.twips_per_pixel_x();
}

int SkinWindow::Width() const { return width() * platform_.twips_per_pixel_x(); }
int SkinWindow::Height() const { return height() * platform_.twips_per_pixel_y(); }

void SkinWindow::set_Top(double twips)
{
    top_twips_ = twips;
    move(x(), px_y(twips));
}

void SkinWindow::set_Left(double twips)
{
    left_twips_ = twips;
    move(px_x(twips), y());
}

void SkinWindow::set_Width(double twips) { setFixedWidth(px_x(twips)); }
void SkinWindow::set_Height(double twips) { setFixedHeight(px_y(twips)); }

int SkinWindow::child_top(const QWidget& child) const
{
    return child.y() * platform_.twips_per_pixel_y();
}

int SkinWindow::child_left(const QWidget& child) const
{
    return child.x() * platform_.twips_per_pixel_x();
}

void SkinWindow::set_child_top(QWidget& child, double twips)
{
    child.move(child.x(), px_y(twips));
}

void SkinWindow::set_child_left(QWidget& child, double twips)
{
    child.move(px_x(twips), child.y());
}

void SkinWindow::scale_position(QWidget& child, float scale)
{
    set_child_top(child, scale * float(child_top(child)));
    set_child_left(child, scale * float(child_left(child)));
}

void SkinWindow::place(QWidget& child, const layout::Rect& rect)
{
    child.setGeometry(px_x(rect.left), px_y(rect.top), px_x(rect.width), px_y(rect.height));
}

void SkinWindow::unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    hide();
    deleteLater();
}

void SkinWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

void SkinWindow::paintEvent(QPaintEvent*)
{
    QPainter(this).drawPixmap(0, 0, background_);
}

void SkinWindow::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    // Only the window's own surface starts a drag: a press that a label, a
    // slider or a disabled control passed on goes nowhere.
    if (childAt(event->position().toPoint()))
        return;
    if (on_drag_press)
        on_drag_press(event->globalPosition().toPoint());
}

void SkinWindow::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    if (on_drag_move)
        on_drag_move();
}

void SkinWindow::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (on_drag_release)
        on_drag_release();
}

}  // namespace plenvo
