#include "windows/frm_video.h"

#include <QLabel>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>

#include "windows/accessibility.h"
#include "windows/window_group.h"
#include "windows/window_tables.h"
#include "base/version.h"
#include "skin/layout.h"
#include "skin/skin.h"
#include "unit/unit_model.h"

namespace plenvo {

namespace {

constexpr int kLargeStep = 7;

int16_t setting(const UnitModel& model, int index)
{
    return model.state().*(tables::kVideoCommands[size_t(index)].field);
}

// What a slider shows for a setting: the unit may report more than 63.
int on_slider(int16_t value)
{
    return std::clamp<int>(value, protocol::kVideoMin, protocol::kVideoMax);
}

}  // namespace

FrmVideo::FrmVideo(UnitModel& model, WindowGroup& group, QWidget* parent)
    : SkinWindow(group.main().platform(), skin::kVideoBackground, QColor(128, 128, 128), parent),
      model_(model),
      group_(group)
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
        connect(bar, &QScrollBar::sliderMoved, this, [this, i] { hsr_video_Scroll(i); });
        connect(bar, &QScrollBar::valueChanged, this, [this, i] { hsr_video_Change(i); });
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
    img_btn_->on_press = [this](int) { img_btn_MouseDown(); };
    img_btn_->set_name(layout::kVideoResetName);

    std::vector<QWidget*> controls(hsr_video_.begin(), hsr_video_.end());
    controls.push_back(img_btn_);
    chain_in_reading_order(controls);
    setWindowTitle(QString::fromLatin1(kCaption) + QStringLiteral(" – Video"));
}

void FrmVideo::Form_Load()
{
    group_.add(*this, WindowGroup::Dock::Below);
    const float scale = group_.layout_scale();
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
    video_on_off(model_.state().power_state == 1);
}

void FrmVideo::show_setting(int index)
{
    QScrollBar& bar = *hsr_video_[size_t(index)];
    const int16_t value = setting(model_, index);
    // Shown, not chosen: moving the thumb here sends nothing.
    const QSignalBlocker quiet(bar);
    bar.setValue(on_slider(value));
    lab_video_[size_t(index)]->setText(QString::number(value));
}

void FrmVideo::video_on_off(bool on_off)
{
    setEnabled(on_off);
    if (!on_off)
        return;
    for (int i = 0; i < int(hsr_video_.size()); ++i)
        show_setting(i);
}

void FrmVideo::hsr_video_Change(int Index)
{
    hsr_video_Scroll(Index);
}

// While the thumb is dragged faster than the line takes the values, the
// model keeps the latest one for when the line is free: the unit gets one
// value per step of the line, the last one where the slider was let go.
void FrmVideo::hsr_video_Scroll(int Index)
{
    if (Index < 0 || Index >= int(hsr_video_.size()))
        return;
    const int value = hsr_video_[size_t(Index)]->sliderPosition();
    lab_video_[size_t(Index)]->setText(QString::number(value));
    if (model_.state().power_state != 1)
        return;
    // A value the window itself put on the slider is the one stored (or
    // the end of the bar, for a setting beyond it): it is not echoed to the
    // unit.
    const protocol::Command& command = tables::kVideoCommands[size_t(Index)];
    if (value == on_slider(setting(model_, Index)) && !model_.unconfirmed(command))
        return;
    model_.set(command, value, Door::Windows);
}

// With the power off, or the port down, the model refuses the reset and
// nothing changes.
void FrmVideo::img_btn_MouseDown()
{
    model_.reset_levels(Door::Windows);
}

}  // namespace plenvo
