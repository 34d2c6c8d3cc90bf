#include "windows/frm_video.h"

#include <QLabel>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>

#include "windows/accessibility.h"
#include "windows/frm_main.h"
#include "wire/protocol.h"
#include "skin/layout.h"
#include "skin/skin.h"

namespace plenvo {

namespace {

constexpr float kPauseAfterSendSeconds = 0.05f;
constexpr int kLargeStep = 7;

int16_t& setting(int index)
{
    return state.*(protocol::kVideoCommands[size_t(index)].field);
}

// What a slider shows for a setting: the unit may report more than 63.
int on_slider(int16_t value)
{
    return std::clamp<int>(value, protocol::kVideoMin, protocol::kVideoMax);
}

}  // namespace

FrmVideo::FrmVideo(FrmMain& main)
    : SkinWindow(main.platform(), skin::kVideoBackground, QColor(128, 128, 128), &main), main_(main)
{
    set_Width(layout::kVideoClient.width);
    set_Height(layout::kVideoClient.height);

    QFont label_font(QStringLiteral("Arial Narrow"));
    label_font.setPointSizeF(8.25);
    label_font.setStyleHint(QFont::SansSerif);
    for (int i = 0; i < int(hsr_video_.size()); ++i) {
        auto* bar = new SkinSlider(this);
        place(*bar, layout::kVideoSliders[size_t(i)]);
        bar->setAccessibleName(QString::fromLatin1(layout::kVideoSettingNames[size_t(i)]));
        bar->setToolTip(bar->accessibleName());
        bar->setRange(protocol::kVideoMin, protocol::kVideoMax);
        bar->setSingleStep(1);
        bar->setPageStep(kLargeStep);
        // Value changes come once, at the end of a drag; the drag itself
        // reports through sliderMoved.
        bar->setTracking(false);
        connect(bar, &QScrollBar::sliderMoved, this, [this, i] { main_.as_user([&] { hsr_video_Scroll(i); }); });
        connect(bar, &QScrollBar::valueChanged, this, [this, i] { main_.as_user([&] { hsr_video_Change(i); }); });
        hsr_video_[size_t(i)] = bar;

        auto* label = new QLabel(QStringLiteral("-127"), this);
        place(*label, layout::kVideoLabels[size_t(i)]);
        label->setFont(label_font);
        label->setAutoFillBackground(true);
        label->setBackgroundRole(QPalette::Base);
        label->setForegroundRole(QPalette::Text);
        lab_video_[size_t(i)] = label;
    }

    img_btn_ = new SkinButton(0, this);
    place(*img_btn_, layout::kVideoReset);
    img_btn_->show_picture(skin::kReset);
    img_btn_->on_press = [this](int) { main_.as_user([&] { img_btn_MouseDown(); }); };
    img_btn_->set_name(layout::kVideoResetName);

    std::vector<QWidget*> controls(hsr_video_.begin(), hsr_video_.end());
    controls.push_back(img_btn_);
    chain_in_reading_order(controls);
    setWindowTitle(QString::fromLatin1(kCaption) + QStringLiteral(" – Video"));
    main_.attach_drag(*this);
}

void FrmVideo::Form_Load()
{
    HandlerScope scope(*this);
    main_.dock_below(*this);
    const float scale = shell.layout_scale;
    set_Width(scale * float(Width()));
    set_Height(scale * float(Height()));
    for (size_t i = 0; i < hsr_video_.size(); ++i) {
        QScrollBar& bar = *hsr_video_[i];
        const QSize size = bar.size();
        scale_position(bar, scale);
        bar.resize(int(scale * float(size.width())), int(scale * float(size.height())));
        scale_position(*lab_video_[i], scale);
    }
    scale_position(*img_btn_, scale);

    for (int i = 0; i < int(hsr_video_.size()); ++i)
        show_setting(i);
    main_.video_on_off(state.power_state == 1);
}

void FrmVideo::show_setting(int index)
{
    QScrollBar& bar = *hsr_video_[size_t(index)];
    // Shown, not chosen: moving the thumb here sends nothing.
    const QSignalBlocker quiet(bar);
    bar.setValue(on_slider(setting(index)));
    lab_video_[size_t(index)]->setText(QString::number(setting(index)));
}

void FrmVideo::hsr_video_Change(int Index)
{
    hsr_video_Scroll(Index);
}

void FrmVideo::hsr_video_Scroll(int Index)
{
    if (Index < 0 || Index >= int(hsr_video_.size()))
        return;
    HandlerScope scope(*this);
    const int value = hsr_video_[size_t(Index)]->sliderPosition();
    lab_video_[size_t(Index)]->setText(QString::number(value));

    if (state.power_state == 1 && state.user_action) {
        // A value the panel itself put on the slider is already stored:
        // comparing keeps it from being echoed to the unit.
        int16_t& stored = setting(Index);
        const protocol::Command& command = protocol::kVideoCommands[size_t(Index)];
        if (value == on_slider(stored) && !main_.unconfirmed(command))
            return;
        stored = int16_t(value);
        main_.tx_cmd(uint8_t(command.first), uint8_t(command.second), stored, state.tx_result);
        wait_seconds(platform(), kPauseAfterSendSeconds);
    } else if (!state.user_action) {
        main_.video_on_off(true);
    }
}

void FrmVideo::img_btn_MouseDown(int, int, float, float)
{
    if (state.power_state != 1 || !state.user_action)
        return;
    HandlerScope scope(*this);
    DeviceState defaults;
    defaults.reset_video_settings();
    for (int i = 0; i < int(hsr_video_.size()); ++i) {
        const protocol::Field field = protocol::kVideoCommands[size_t(i)].field;
        state.*field = defaults.*field;
        show_setting(i);
    }
    main_.tx_cmd(uint8_t(protocol::kRE.first), uint8_t(protocol::kRE.second), 0, state.tx_result);
}

void FrmMain::video_on_off(bool on_off)
{
    if (!state.video_open || !video_ || video_->unloaded())
        return;
    video_->setEnabled(on_off);
    if (!on_off)
        return;
    for (int i = 0; i < int(protocol::kVideoCommands.size()); ++i)
        video_->show_setting(i);
}

}  // namespace plenvo
