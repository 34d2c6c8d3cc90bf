#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>

#include <cstdint>

namespace plenvo {

class Platform;
class SkinWindow;

// The main window and the companions docked to it: the adjustment window
// against its right edge, the video window against its bottom edge. A press
// on the surface of any of them drags that window, and the others follow so
// that the group stays docked. One drag at a time, whichever window it
// started on.
class WindowGroup final : public QObject {
    Q_OBJECT
public:
    enum class Dock { Right, Below };

    explicit WindowGroup(SkinWindow& main);
    ~WindowGroup() override;

    // Docks a companion as its window opens and keeps it docked from then
    // on; presses on its surface drag the group.
    void add(SkinWindow& companion, Dock side);
    // The companion is closing: it no longer follows.
    void remove(SkinWindow& companion);
    // Puts the companion against the main window's edge.
    void dock(SkinWindow& companion, Dock side) const;

    SkinWindow& main() const { return main_; }

    // Makes presses, moves and releases on the window's surface drag the group.
    void attach_drag(SkinWindow& window);

    // The main window's width over the skin's: what every window of the
    // group scales its design positions by as it loads.
    float layout_scale() const { return layout_scale_; }
    void set_layout_scale(float scale) { layout_scale_ = scale; }

    // ---- the drag: press, move and release on a window of the group
    void Form_MouseDown(SkinWindow& window, QPoint pressed_at);
    void Form_MouseMove(SkinWindow& window);
    void Form_MouseUp();

    bool dragging() const { return dragging_; }
    // The cursor where the last press or move found it, in screen pixels.
    QPoint cursor_pos() const { return cursor_pos_; }
    // The top the last move gave the dragged window, in twips.
    int32_t win_top() const { return win_top_; }

protected:
    // While a drag runs: its release ends it wherever it goes.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPoint docked_at(const SkinWindow& window) const;
    QPoint back_onto_screen(QPoint main_place) const;

    SkinWindow& main_;
    Platform& platform_;
    QPointer<SkinWindow> right_;
    QPointer<SkinWindow> below_;
    float layout_scale_ = 1.0f;

    bool dragging_ = false;
    QPoint cursor_pos_;
    int32_t drag_off_x_ = 0;
    int32_t drag_off_y_ = 0;
    int32_t win_top_ = 0;
};

}  // namespace plenvo
