#pragma once

#include <array>

#include "windows/skin_widgets.h"

namespace plenvo {

class FrmMain;

// The adjustment window, docked at the main window's right edge: ten
// settings of the unit, each a group of skinned buttons of which one is lit.
class FrmAdj final : public SkinWindow {
    Q_OBJECT
public:
    explicit FrmAdj(FrmMain& main);

    // Docks, scales and draws the window; runs each time it opens.
    void Form_Load();
    // A press on a button (user_action true) or the display of a setting
    // the unit reported (false).
    void img_btn_MouseDown(int Index, int Button = 1, int Shift = 0, float X = 0, float Y = 0);

    SkinButton* img_btn(int index) const;

private:
    FrmMain& main_;
    std::array<SkinButton*, 22> img_btn_{};
};

}  // namespace plenvo
