#include "windows/frm_adj.h"

#include "windows/accessibility.h"
#include "windows/frm_main.h"
#include "wire/protocol.h"
#include "skin/layout.h"
#include "skin/skin.h"

namespace plenvo {

namespace {

QByteArray picture(const protocol::AdjButton& button, bool lit)
{
    return QByteArray(button.family) + (lit ? "_on" : "_off");
}

}  // namespace

FrmAdj::FrmAdj(FrmMain& main)
    : SkinWindow(main.platform(), skin::kAdjBackground, QColor(224, 224, 224), &main), main_(main)
{
    set_Width(layout::kAdjClient.width);
    set_Height(layout::kAdjClient.height);
    for (const layout::Element& element : layout::kAdjButtons) {
        auto* button = new SkinButton(element.index, this);
        place(*button, element.rect);
        button->show_picture(element.start_picture);
        button->on_press = [this](int index) { main_.as_user([&] { img_btn_MouseDown(index); }); };
        img_btn_[size_t(element.index)] = button;
    }
    for (const layout::ElementName& name : layout::kAdjNames)
        img_btn_[size_t(name.index)]->set_name(name);
    chain_in_reading_order({img_btn_.begin(), img_btn_.end()});
    setWindowTitle(QString::fromLatin1(kCaption) + QStringLiteral(" – Adjustments"));
    main_.attach_drag(*this);
}

SkinButton* FrmAdj::img_btn(int index) const
{
    return index >= 0 && index < int(img_btn_.size()) ? img_btn_[size_t(index)] : nullptr;
}

void FrmAdj::Form_Load()
{
    HandlerScope scope(*this);
    main_.dock_right(*this);
    const float scale = shell.layout_scale;
    set_Width(scale * float(Width()));
    set_Height(scale * float(Height()));
    for (SkinButton* button : img_btn_)
        if (button)
            scale_position(*button, scale);
    main_.adj_on_off(state.power_state == 1);
}

void FrmAdj::img_btn_MouseDown(int Index, int, int, float, float)
{
    HandlerScope scope(*this);
    if (state.port_ok)
        main_.set_message(QString());

    const protocol::AdjButton* button = protocol::find_adj_button(Index);
    if (!button)
        return;
    const protocol::AdjGroup& group = protocol::kAdjGroups[size_t(button->group)];
    const bool bypass_group = button->group == protocol::kAdjBypassGroup;

    if (!state.user_action) {
        if (bypass_group)
            main_.proc_pc_bypass();
        main_.adj_on_off(true);
        return;
    }

    int16_t& setting = state.*(group.command.field);
    if (setting == button->value && !main_.unconfirmed(group.command))
        return;
    setting = button->value;
    if (bypass_group)
        main_.proc_pc_bypass();
    main_.adj_on_off(true);
    main_.tx_cmd(uint8_t(group.command.first), uint8_t(group.command.second), setting, state.tx_result);
}

void FrmMain::adj_on_off(bool on_off)
{
    if (!state.adj_open || !adj_ || adj_->unloaded())
        return;
    adj_->setEnabled(on_off);
    for (const protocol::AdjButton& button : protocol::kAdjButtons)
        adj_->img_btn(button.index)->show_picture(picture(button, false));
    if (!on_off)
        return;
    for (size_t group = 0; group < protocol::kAdjGroups.size(); ++group)
        for (const protocol::AdjButton& button : protocol::kAdjButtons)
            if (size_t(button.group) == group && protocol::adj_button_lit(button, state))
                adj_->img_btn(button.index)->show_picture(picture(button, true));
}

}  // namespace plenvo
