#pragma once

#include <QByteArray>
#include <QPixmap>
#include <QWidget>

#include <cstdint>
#include <functional>

#include "skin/layout.h"

namespace plenvo {

class Platform;

// Twips to the nearest whole twip, halves to even.
int32_t round_twips(double twips);

// A skin picture by the name the panel's tables give it.
QPixmap skin_picture(QByteArrayView name);

// Whether a skin picture is the lit state of its family ("power_on").
bool lit_picture(QByteArrayView name);

// A skinned element: shows one skin picture at its own pixel size and
// reports every press, of any mouse button, enabled or not, to its window
// and never to the window underneath (which would start a drag). Space and
// Enter press it too, while it has the focus and is enabled.
class SkinButton final : public QWidget {
    Q_OBJECT
public:
    SkinButton(int index, QWidget* parent);

    int index() const { return index_; }
    // Loads the named skin picture afresh and takes its size.
    void show_picture(QByteArrayView name);
    // The name of the picture last shown, as it was asked for.
    const QByteArray& picture_name() const { return picture_name_; }

    // Whether the picture shown is the lit one.
    bool lit() const { return lit_picture(picture_name_); }

    // Names the element for screen readers and in its tooltip.
    void set_name(const layout::ElementName& name);
    layout::Role role() const { return role_; }

    // Runs on a press while enabled.
    std::function<void(int index)> on_press;
    // A press from the keyboard or a screen reader: on_press, while enabled.
    void press();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    int index_;
    QByteArray picture_name_;
    QPixmap pixmap_;
    layout::Role role_ = layout::Role::Button;
};

// A borderless skinned window whose geometry is kept in twips, the unit of
// the layout tables and of the settings file. Presses on its own surface
// start a drag of the docked group.
class SkinWindow : public QWidget {
    Q_OBJECT
public:
    SkinWindow(Platform& platform, const char* background, QColor back_colour, QWidget* parent);
    ~SkinWindow() override;

    // Window geometry in twips.
    int Top() const;
    int Left() const;
    int Width() const;
    int Height() const;
    void set_Top(double twips);
    void set_Left(double twips);
    void set_Width(double twips);
    void set_Height(double twips);

    // A child's position in twips, for the layout scaling at load.
    int child_top(const QWidget& child) const;
    int child_left(const QWidget& child) const;
    void set_child_top(QWidget& child, double twips);
    void set_child_left(QWidget& child, double twips);
    // Multiplies a child's top, then its left, by the layout scale.
    void scale_position(QWidget& child, float scale);
    // Places a child at a layout rectangle given in design twips.
    void place(QWidget& child, const layout::Rect& rect);

    // Hides the window at once and destroys it from the message loop.
    void unload();
    bool unloaded() const { return unloaded_; }

    // Drag handlers of the window's own surface.
    std::function<void(QPoint pressed_at)> on_drag_press;
    std::function<void()> on_drag_move;
    std::function<void()> on_drag_release;

    Platform& platform() const { return platform_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // The main panel's buttons open and close the companion windows; a
    // close request from the desktop would leave them thinking it open.
    void closeEvent(QCloseEvent* event) override;

private:
    int px_x(double twips) const;
    int px_y(double twips) const;

    Platform& platform_;
    QPixmap background_;
    // The place last given in twips, kept so that a place that is not a
    // whole number of pixels reads back as it was set.
    double top_twips_ = 0;
    double left_twips_ = 0;
    bool unloaded_ = false;
};

}  // namespace plenvo
