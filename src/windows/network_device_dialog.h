#pragma once

#include <QDialog>

#include "lines/line_device.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace plenvo {

// A serial port served over the network, as its device string, or why the
// host and port given make none.
struct NetworkDevice {
    QString device;
    QString mistake;
};

// The network line of that kind to the host and TCP port, as
// "socket://HOST:PORT" or "rfc2217://HOST:PORT".
NetworkDevice network_device(LineDevice::Kind kind, const QString& host, quint16 port);

// Asks for the network device behind a port: host, TCP port and kind of
// line, filled in from the port's device when that is a network line. OK
// is offered only for a well-formed device.
class NetworkDeviceDialog final : public QDialog {
    Q_OBJECT
public:
    NetworkDeviceDialog(int port, const QString& current, QWidget* parent);

    // The device filled in; empty while it is not well formed.
    QString device() const;

    QLineEdit* host() const { return host_; }
    QSpinBox* tcp_port() const { return tcp_port_; }
    QComboBox* kind() const { return kind_; }
    QPushButton* ok() const { return ok_; }

private:
    void fill_in(const QString& current);
    NetworkDevice filled_in() const;
    void show_device();

    QLineEdit* host_ = nullptr;
    QSpinBox* tcp_port_ = nullptr;
    QComboBox* kind_ = nullptr;
    QLabel* result_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace plenvo
