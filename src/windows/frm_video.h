#pragma once

#include <array>

#include "windows/skin_widgets.h"

class QLabel;
class QScrollBar;

namespace plenvo {

class UnitModel;
class WindowGroup;

// The video settings window, docked below the main window: six sliders for
// the unit's picture and sound settings, and a reset button. A slider moved
// or the reset pressed asks the model; the window is drawn from the model's
// state by whoever shows the model (video_on_off, show_setting).
class FrmVideo final : public SkinWindow {
    Q_OBJECT
public:
    FrmVideo(UnitModel& model, WindowGroup& group, QWidget* parent);

    // Docks, scales and draws the window; runs each time it opens.
    void Form_Load();
    // The thumb of a slider is being dragged.
    void hsr_video_Scroll(int Index);
    // A slider's value changed by an arrow, the track, a key or the end of
    // a drag.
    void hsr_video_Change(int Index);
    // The reset button.
    void img_btn_MouseDown();

    // Puts the setting on its slider and its number in the label. The label
    // carries the real number, also above 63 and with the power off.
    void show_setting(int index);
    // Enables the window and shows every setting (on), or only disables it
    // (off): the sliders and labels keep what they show.
    void video_on_off(bool on_off);

    QScrollBar* hsr_video(int index) const { return hsr_video_[size_t(index)]; }
    QLabel* lab_video(int index) const { return lab_video_[size_t(index)]; }
    SkinButton* img_btn() const { return img_btn_; }

private:
    UnitModel& model_;
    WindowGroup& group_;
    std::array<QScrollBar*, 6> hsr_video_{};
    std::array<QLabel*, 6> lab_video_{};
    SkinButton* img_btn_ = nullptr;
};

}  // namespace plenvo
