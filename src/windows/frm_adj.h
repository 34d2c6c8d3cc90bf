#pragma once

#include <array>

#include "windows/skin_widgets.h"

namespace plenvo {

class UnitModel;
class WindowGroup;

// The adjustment window, docked at the main window's right edge: ten
// settings of the unit, each a group of skinned buttons of which one is lit.
// A press asks the model for the setting; the window is drawn from the
// model's state by whoever shows the model (adj_on_off).
class FrmAdj final : public SkinWindow {
    Q_OBJECT
public:
    FrmAdj(UnitModel& model, WindowGroup& group, QWidget* parent);

    // Docks, scales and draws the window; runs each time it opens.
    void Form_Load();
    // A press on a button.
    void img_btn_MouseDown(int Index);
    // Draws every button from the state (on), or every one unlit with the
    // window disabled (off).
    void adj_on_off(bool on_off);

    SkinButton* img_btn(int index) const;

signals:
    // A button was pressed, before its setting is asked for.
    void pressed();

private:
    UnitModel& model_;
    WindowGroup& group_;
    std::array<SkinButton*, 22> img_btn_{};
};

}  // namespace plenvo
