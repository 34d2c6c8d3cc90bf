#include "windows/frm_main.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <utility>

#include "windows/accessibility.h"
#include "windows/frm_adj.h"
#include "windows/frm_video.h"
#include "windows/screen_fit.h"
#include "windows/window_tables.h"
#include "base/trace.h"
#include "skin/layout.h"
#include "skin/skin.h"

namespace plenvo {

namespace {

// The skin's own size: the main window is fitted to it at start-up and
// the layout scale is measured against its width.
constexpr int kSkinWidthTwips = 7050;

QFont label_font(const char* family, bool bold)
{
    QFont font(QString::fromLatin1(family));
    font.setPointSizeF(8.25);
    font.setBold(bold);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

}  // namespace

FrmMain::FrmMain(Platform& platform, UnitModel& model, SettingsFile settings)
    : SkinWindow(platform, skin::kMainBackground, Qt::white, nullptr),
      model_(model),
      settings_(std::move(settings)),
      group_(*this)
{
    build_design();
    connect(&model_, &UnitModel::chosen, this, &FrmMain::show_choice);
    connect(&model_, &UnitModel::frame_applied, this,
            [this](const protocol::Frame&, int code) { show_report(code); });
    connect(&model_, &UnitModel::message, this, &FrmMain::set_message);
    connect(&model_, &UnitModel::port_changed, this, &FrmMain::show_port_indicator);
    connect(&model_, &UnitModel::port_failed, this, &FrmMain::show_port_failure);
}

FrmMain::~FrmMain() = default;

void FrmMain::build_design()
{
    set_Width(layout::kMainClient.width);
    set_Height(layout::kMainClient.height);

    img_logo_ = new QLabel(this);
    place(*img_logo_, layout::kMainLogo);
    img_logo_->setPixmap(skin_picture(skin::kLogo));

    lab_ver_ = new QLabel(this);
    place(*lab_ver_, layout::kMainVersionLabel);
    lab_ver_->setFont(label_font("Arial", false));

    lab_msg_ = new QLabel(this);
    place(*lab_msg_, layout::kMainMessageLabel);
    lab_msg_->setFont(label_font("MS Sans Serif", true));
    QPalette palette = lab_msg_->palette();
    palette.setColor(QPalette::WindowText, QColor(192, 0, 0));
    palette.setColor(QPalette::Window, QWidget::palette().color(QPalette::Base));
    lab_msg_->setPalette(palette);
    lab_msg_->setAutoFillBackground(true);
    lab_msg_->installEventFilter(this);

    img_form_ = new QWidget(this);
    place(*img_form_, layout::kMainFormImage);

    for (const layout::Element& element : layout::kMainButtons) {
        auto* button = new SkinButton(element.index, this);
        place(*button, element.rect);
        button->show_picture(element.start_picture ? element.start_picture
                             : element.index == 21 ? skin::kMinimise
                                                   : skin::kExit);
        button->on_press = [this](int index) { img_btn_MouseDown(index); };
        img_btn_[size_t(element.index)] = button;
    }
    for (const layout::ElementName& name : layout::kMainNames)
        img_btn_[size_t(name.index)]->set_name(name);
    chain_in_reading_order({img_btn_.begin(), img_btn_.end()});
}

// What the first look does not need waits until it has been painted: the
// icon, which the desktop reads in every size, and the diagnostic box with
// its button, which lie out of sight below the window.
void FrmMain::paintEvent(QPaintEvent* event)
{
    SkinWindow::paintEvent(event);
    if (!std::exchange(first_paint_done_, true))
        QTimer::singleShot(0, this, &FrmMain::build_after_first_paint);
}

void FrmMain::build_after_first_paint()
{
    trace::line(QStringLiteral("painted"), {});
    setWindowIcon(skin::icon());

    // Tab never leads to the box or its button.
    txt_msg_ = new QPlainTextEdit(this);
    place(*txt_msg_, layout::kMainDiagnosticText);
    set_child_top(*txt_msg_, Height() + 20);
    set_child_left(*txt_msg_, 0);
    txt_msg_->resize(width(), 2 * height());
    txt_msg_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txt_msg_->setFocusPolicy(Qt::NoFocus);
    txt_msg_->show();

    cmd_clear_ = new QPushButton(QStringLiteral("clear"), this);
    place(*cmd_clear_, layout::kMainClearButton);
    cmd_clear_->setFocusPolicy(Qt::NoFocus);
    connect(cmd_clear_, &QPushButton::clicked, this, &FrmMain::cmd_clear_Click);
    cmd_clear_->show();
    emit first_painted();
}

SkinButton* FrmMain::img_btn(int index) const
{
    return index >= 0 && index < int(img_btn_.size()) ? img_btn_[size_t(index)] : nullptr;
}

void FrmMain::Form_Load(bool another_copy_running)
{
    if (another_copy_running) {
        second_instance = true;
        unload_main();
        return;
    }
    second_instance = false;

    const SettingsFile::Values saved = settings_.read();
    place_from_settings(saved);

    setWindowTitle(QString::fromLatin1(kCaption));
    lab_ver_->setText(QString::fromLatin1(kVersion));

    // The saved port, or once the other one; the buttons show which opened.
    img_btn(tables::kCom1Element)->show_picture("com1_off");
    img_btn(tables::kCom2Element)->show_picture("com2_off");
    model_.open_start_up_port(saved.com_port.value_or(1));

    set_Width(img_form_->width() * platform().twips_per_pixel_x());
    set_Height(img_form_->height() * platform().twips_per_pixel_y());
    group_.set_layout_scale(float(Width()) / float(kSkinWidthTwips));
    rescale_positions();

    show();
    // The unit's answers are shown as they come in.
    if (model_.port_ok())
        model_.request_state();
}

void FrmMain::place_from_settings(const SettingsFile::Values& saved)
{
    const QSize screen = platform().screen_twips();
    // A window partly off the screen comes back where it was, as long as
    // enough of it shows to grab it; one that is lost (saved on a larger
    // screen, or dragged away) comes back whole at the nearest edge.
    const QPoint saved_place(saved.win_left.value_or((screen.width() - kSkinWidthTwips) / 2),
                             saved.win_top.value_or((screen.height() - layout::kMainClient.height) / 2));
    // The size the window is fitted to right after.
    const QSize size(img_form_->width() * platform().twips_per_pixel_x(),
                     img_form_->height() * platform().twips_per_pixel_y());
    const QPoint place = start_up_place(saved_place, size, screen, grip_twips(platform()));
    set_Top(place.y());
    set_Left(place.x());
}

void FrmMain::rescale_positions()
{
    const float scale = group_.layout_scale();
    for (SkinButton* button : img_btn_)
        if (button)
            scale_position(*button, scale);
    scale_position(*lab_ver_, scale);
    scale_position(*lab_msg_, scale);
}

void FrmMain::Form_Unload()
{
    if (form_unloaded_)
        return;
    form_unloaded_ = true;
    if (second_instance)
        return;

    model_.close_port();

    // Top() and Left() are already rounded to whole twips, halves to even.
    if (!settings_.write(Top(), Left(), model_.port()))
        trace::line(QStringLiteral("settings"), QStringLiteral("cannot write ") + settings_.path());

    open_adj(false);
    open_video(false);
}

void FrmMain::unload_main()
{
    const bool first_time = !form_unloaded_;
    Form_Unload();
    hide();
    if (first_time)
        emit unloaded();
}

void FrmMain::closeEvent(QCloseEvent* event)
{
    unload_main();
    event->accept();
}

void FrmMain::set_message(const QString& text)
{
    lab_msg_->setText(text);
    trace::line(QStringLiteral("msg"), text);
}

QString FrmMain::message() const
{
    return lab_msg_->text();
}

void FrmMain::cmd_clear_Click()
{
    txt_msg_->clear();
}

bool FrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != static_cast<QObject*>(lab_msg_))
        return SkinWindow::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        group_.Form_MouseDown(*this, static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        return true;
    case QEvent::MouseMove: group_.Form_MouseMove(*this); return true;
    case QEvent::MouseButtonRelease: group_.Form_MouseUp(); return true;
    default: return false;
    }
}

}  // namespace plenvo
