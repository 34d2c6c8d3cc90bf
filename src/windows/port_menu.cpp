#include "windows/port_menu.h"

#include <QActionGroup>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QShortcut>

#include <algorithm>

#include "windows/frm_main.h"
#include "windows/network_device_dialog.h"
#include "windows/phone_link_dialog.h"
#include "windows/window_tables.h"
#include "devices/port_devices.h"
#include "base/platform.h"

namespace plenvo {

namespace {

struct PortButton {
    int port;
    int element;  // the port's button on the main panel
    const char* title;
};

constexpr PortButton kPortButtons[] = {
    {1, tables::kCom1Element, "Port COM&1"},
    {2, tables::kCom2Element, "Port COM&2"},
};

// How often a chosen port looks whether the panel takes a press again.
constexpr int kOpenRetryMs = 20;

const PortButton& button_of(int port)
{
    return *std::find_if(std::begin(kPortButtons), std::end(kPortButtons),
                         [port](const PortButton& button) { return button.port == port; });
}

// A text shown as it is, not taken for a menu's keyboard accelerator.
QString shown_as_is(QString text)
{
    return text.replace('&', QStringLiteral("&&"));
}

bool stands_for(const SerialDevice& found, const QString& device)
{
    return device == found.path || device == found.system_path;
}

}  // namespace

PortMenu::PortMenu(FrmMain& frm, PortDevices& devices)
    : frm_(frm), devices_(devices), timOpen_(frm.platform().make_timer(kOpenRetryMs))
{
    timOpen_->on_tick = [this] { open_chosen_port(); };
    QLabel* logo = frm.img_logo();
    logo->setToolTip(QStringLiteral("Choose the devices behind COM1 and COM2 (Ctrl+P)"));
    logo->installEventFilter(this);
    // Also from the companion windows, which belong to the panel.
    for (const QKeySequence& keys : {QKeySequence(Qt::CTRL | Qt::Key_P), QKeySequence(Qt::Key_Menu)}) {
        auto* shortcut = new QShortcut(keys, &frm);
        shortcut->setContext(Qt::ApplicationShortcut);
        connect(shortcut, &QShortcut::activated, this, &PortMenu::popup);
    }
}

PortMenu::~PortMenu()
{
    delete menu_;
    delete dialog_;
}

bool PortMenu::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != frm_.img_logo() || event->type() != QEvent::MouseButtonPress)
        return QObject::eventFilter(watched, event);
    popup();
    return true;
}

void PortMenu::popup()
{
    if (frm_.is_unloaded() || !frm_.isVisible() || (menu_ && menu_->isVisible()))
        return;
    if (menu_)
        menu_->deleteLater();
    menu_ = new QMenu(&frm_);
    fill(*menu_);
    const QLabel* logo = frm_.img_logo();
    menu_->popup(logo->mapToGlobal(QPoint(0, logo->height())));
}

void PortMenu::fill(QMenu& menu)
{
    const std::vector<SerialDevice> found = devices_.found();
    for (const PortButton& button : kPortButtons) {
        QMenu* port_menu = menu.addMenu(QString::fromLatin1(button.title));
        auto* group = new QActionGroup(port_menu);
        const QString current = devices_.device(button.port);
        const auto add = [&](const QString& device, const QString& label, bool checked) {
            QAction* action = port_menu->addAction(shown_as_is(label));
            action->setCheckable(true);
            action->setChecked(checked);
            group->addAction(action);
            connect(action, &QAction::triggered, this, [this, port = button.port, device] { choose(port, device); });
        };
        // A network line, a device unplugged or one the system does not
        // report still shows as the port's own.
        if (std::none_of(found.begin(), found.end(), [&](const SerialDevice& d) { return stands_for(d, current); }))
            add(current, current, true);
        for (const SerialDevice& device : found)
            add(device.path, device_label(device), stands_for(device, current));
        if (found.empty())
            port_menu->addAction(QStringLiteral("No serial device found"))->setEnabled(false);
        port_menu->addSeparator();
        connect(port_menu->addAction(QStringLiteral("&Network device…")), &QAction::triggered, this,
                [this, port = button.port] { ask_network_device(port); });
    }
    if (phone_link_) {
        menu.addSeparator();
        connect(menu.addAction(QStringLiteral("&Phone or tablet…")), &QAction::triggered, this, [this] {
            auto* dialog = new PhoneLinkDialog(phone_link_(), &frm_);
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            dialog->show();
        });
    }
}

void PortMenu::ask_network_device(int port)
{
    if (dialog_)
        dialog_->close();
    auto* dialog = new NetworkDeviceDialog(port, devices_.device(port), &frm_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, port, dialog] { choose(port, dialog->device()); });
    dialog_ = dialog;
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void PortMenu::choose(int port, const QString& device)
{
    if (const std::optional<QString> failure = devices_.choose(port, device))
        qWarning("plenvo: %s", qPrintable(*failure));
    port_to_open_ = port;
    timOpen_->set_enabled(true);
}

void PortMenu::open_chosen_port()
{
    if (frm_.is_unloaded()) {
        timOpen_->set_enabled(false);
        return;
    }
    // A command a press of the panel's started still waits: its buttons
    // take none now.
    const int element = button_of(port_to_open_).element;
    if (!frm_.img_btn(element)->isEnabled())
        return;
    timOpen_->set_enabled(false);
    frm_.img_btn_MouseDown(element);
}

}  // namespace plenvo
