#pragma once

// Keyboard use and screen readers in the skinned windows.

#include <QByteArrayView>
#include <QScrollBar>

#include <vector>

namespace plenvo {

class SkinButton;

// Draws the focus mark over what the widget has drawn, while it has the
// focus and its window has been used from the keyboard (a mouse user never
// sees it): a 2-pixel rectangle inside its edge, dashed black on white, so
// that it shows on any picture.
void paint_focus_mark(QWidget& widget);

// Chains the widgets' Tab order in reading order of their places: rows
// from the top, left to right within a row, where a row holds the widgets
// that overlap one another vertically; the first has the focus as the
// window opens. Null entries (elements a window does not have) are skipped.
void chain_in_reading_order(std::vector<QWidget*> widgets);

// Lets screen readers see the skinned buttons as buttons, switches and
// choices, and the skinned windows as windows. Installing it again does
// nothing; it must come before the first element is built.
void install_skin_accessibility();

// Tells screen readers what a new picture changed: lit or not, and a
// port's state.
void announce_picture_change(SkinButton& button, QByteArrayView before);

// A slider of a skinned window: a horizontal scroll bar that takes the
// focus and moves by keys as a slider does (the scroll bar's own keys run
// Right and Page Up towards the minimum).
class SkinSlider final : public QScrollBar {
public:
    explicit SkinSlider(QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace plenvo
