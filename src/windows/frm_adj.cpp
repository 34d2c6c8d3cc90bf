#include "windows/frm_adj.h"

#include "windows/accessibility.h"
#include "windows/window_group.h"
#include "windows/window_tables.h"
#include "skin/layout.h"
#include "skin/skin.h"
#include "base/version.h"
#include "unit/unit_model.h"

namespace plenvo {

namespace {

QByteArray picture(const tables::AdjButton& button, bool lit)
{
    return QByteArray(button.family) + (lit ? "_on" : "_off");
}

}  // namespace

FrmAdj::FrmAdj(UnitModel& model, WindowGroup& group, QWidget* parent)
    : SkinWindow(group.main().platform(), skin::kAdjBackground, QColor(224, 224, 224), parent),
      model_(model),
      group_(group)
{
    set_Width(layout::kAdjClient.width);
    set_Height(layout::kAdjClient.height);
    for (const layout::Element& element : layout::kAdjButtons) {
        auto* button = new SkinButton(element.index, this);
        place(*button, element.rect);
        button->show_picture(element.start_picture);
        button->on_press = [this](int index) { img_btn_MouseDown(index); };
        img_btn_[size_t(element.index)] = button;
    }
    for (const layout::ElementName& name : layout::kAdjNames)
        img_btn_[size_t(name.index)]->set_name(name);
    chain_in_reading_order({img_btn_.begin(), img_btn_.end()});
    setWindowTitle(QString::fromLatin1(kCaption) + QStringLiteral(" – Adjustments"));
}

SkinButton* FrmAdj::img_btn(int index) const
{
    return index >= 0 && index < int(img_btn_.size()) ? img_btn_[size_t(index)] : nullptr;
}

void FrmAdj::Form_Load()
{
    group_.add(*this, WindowGroup::Dock::Right);
    const float scale = group_.layout_scale();
    set_Width(scale * float(Width()));
    set_Height(scale * float(Height()));
    for (SkinButton* button : img_btn_)
        if (button)
            scale_position(*button, scale);
    adj_on_off(model_.state().power_state == 1);
}

// A button already lit, or a setting the power or the port does not let
// through, changes nothing: the model says so and shows nothing.
void FrmAdj::img_btn_MouseDown(int Index)
{
    emit pressed();
    const tables::AdjButton* button = tables::find_adj_button(Index);
    if (!button)
        return;
    model_.set(tables::kAdjGroups[size_t(button->group)].command, button->value, Door::Windows);
}

void FrmAdj::adj_on_off(bool on_off)
{
    setEnabled(on_off);
    for (const tables::AdjButton& button : tables::kAdjButtons)
        img_btn(button.index)->show_picture(picture(button, false));
    if (!on_off)
        return;
    const DeviceState& state = model_.state();
    for (size_t group = 0; group < tables::kAdjGroups.size(); ++group)
        for (const tables::AdjButton& button : tables::kAdjButtons)
            if (size_t(button.group) == group && tables::adj_button_lit(button, state))
                img_btn(button.index)->show_picture(picture(button, true));
}

}  // namespace plenvo
