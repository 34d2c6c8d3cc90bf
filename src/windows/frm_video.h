#pragma once

#include <array>

#include "windows/skin_widgets.h"

class QLabel;
class QScrollBar;

namespace plenvo {

class FrmMain;

// The video settings window, docked below the main window: six sliders for
// the unit's picture and sound settings, and a reset button.
class FrmVideo final : public SkinWindow {
    Q_OBJECT
public:
    explicit FrmVideo(FrmMain& main);

    // Docks, scales and draws the window; runs each time it opens.
    void Form_Load();
    // The thumb of a slider is being dragged (or a reported value is shown).
    void hsr_video_Scroll(int Index);
    // A slider's value changed by an arrow, the track, the end of a drag or
    // an assignment.
    void hsr_video_Change(int Index);
    // Puts the setting on its slider and its number in the label. The label
    // carries the real number, also above 63 and with the power off.
    void show_setting(int index);
    // The reset button.
    void img_btn_MouseDown(int Button = 1, int Shift = 0, float X = 0, float Y = 0);

    QScrollBar* hsr_video(int index) const { return hsr_video_[size_t(index)]; }
    QLabel* lab_video(int index) const { return lab_video_[size_t(index)]; }
    SkinButton* img_btn() const { return img_btn_; }

private:
    FrmMain& main_;
    std::array<QScrollBar*, 6> hsr_video_{};
    std::array<QLabel*, 6> lab_video_{};
    SkinButton* img_btn_ = nullptr;
};

}  // namespace plenvo
