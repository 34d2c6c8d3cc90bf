#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

#include "windows/network_device_dialog.h"

namespace plenvo {

class FrmMain;
class PortDevices;
class Timer;

// The chooser of the devices behind COM1 and COM2: a menu that a press on
// the panel's logo, Ctrl+P or the menu key opens. For each port it lists
// the serial devices found and offers a network device, the port's device
// checked. A device chosen is kept, and its port opened the way its button
// opens it.
class PortMenu final : public QObject {
    Q_OBJECT
public:
    PortMenu(FrmMain& frm, PortDevices& devices);
    ~PortMenu() override;

    // Opens the menu under the logo, filled afresh.
    void popup();
    // The menu last opened, or nullptr.
    QMenu* menu() const { return menu_; }
    // The network device dialog while it is open, or nullptr.
    NetworkDeviceDialog* dialog() const { return dialog_; }

    // Puts `device` behind `port`; the port is opened as soon as no command
    // a press of the panel's started waits for its outcome.
    void choose(int port, const QString& device);

    // With the web page served: its link, shown as a QR code from an entry
    // of its own at the end of the menu.
    void set_phone_link(std::function<QString()> link) { phone_link_ = std::move(link); }

protected:
    // A press on the logo opens the menu.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fill(QMenu& menu);
    void add_port(QMenu& menu, int port, const QString& title);
    void ask_network_device(int port);
    void open_chosen_port();

    FrmMain& frm_;
    PortDevices& devices_;
    QPointer<QMenu> menu_;
    QPointer<NetworkDeviceDialog> dialog_;
    // Waits until the panel's buttons take a press again.
    std::unique_ptr<Timer> timOpen_;
    int port_to_open_ = 0;
    std::function<QString()> phone_link_;
};

}  // namespace plenvo
