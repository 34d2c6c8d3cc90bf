#include "windows/network_device_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>

#include "devices/port_devices.h"

namespace plenvo {

namespace {

struct NetworkKind {
    const char* label;
    LineDevice::Kind kind;
};

// In the order of the kind list; raw TCP first, the more common.
constexpr NetworkKind kKinds[] = {
    {"Raw TCP (socket://)", LineDevice::Kind::RawTcp},
    {"Telnet with RFC 2217 (rfc2217://)", LineDevice::Kind::Rfc2217},
};

// Serial device servers commonly serve raw TCP here.
constexpr int kUsualTcpPort = 4999;

bool host_name(const QString& host)
{
    static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9_]([A-Za-z0-9_.-]*[A-Za-z0-9_])?$"));
    return name.match(host).hasMatch() || is_ip_address(host);
}

}  // namespace

NetworkDevice network_device(LineDevice::Kind kind, const QString& given_host, quint16 port)
{
    const QString host = given_host.trimmed();
    if (host.isEmpty())
        return {{}, QStringLiteral("Give the host's name or address.")};
    if (!host_name(host))
        return {{}, QStringLiteral("%1 is not a host name or address.").arg(host)};
    const QString device = device_string({kind, QString(), host, port});
    if (const std::optional<QString> mistake = device_mistake(device))
        return {{}, *mistake};
    return {device, {}};
}

NetworkDeviceDialog::NetworkDeviceDialog(int port, const QString& current, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Network device behind COM%1").arg(port));
    host_ = new QLineEdit(this);
    host_->setPlaceholderText(QStringLiteral("name or address"));
    tcp_port_ = new QSpinBox(this);
    tcp_port_->setRange(1, 65535);
    tcp_port_->setValue(kUsualTcpPort);
    kind_ = new QComboBox(this);
    for (const NetworkKind& kind : kKinds)
        kind_->addItem(QString::fromLatin1(kind.label));
    result_ = new QLabel(this);
    result_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Host:"), host_);
    form->addRow(QStringLiteral("TCP &port:"), tcp_port_);
    form->addRow(QStringLiteral("&Kind:"), kind_);
    form->addRow(QStringLiteral("Device:"), result_);
    form->addRow(buttons);

    fill_in(current);
    connect(host_, &QLineEdit::textChanged, this, &NetworkDeviceDialog::show_device);
    connect(tcp_port_, &QSpinBox::valueChanged, this, &NetworkDeviceDialog::show_device);
    connect(kind_, &QComboBox::currentIndexChanged, this, &NetworkDeviceDialog::show_device);
    show_device();
}

void NetworkDeviceDialog::fill_in(const QString& current)
{
    QString error;
    const std::optional<LineDevice> line = parse_device(current, error);
    if (!line || line->kind == LineDevice::Kind::SerialPort)
        return;
    host_->setText(line->host);
    tcp_port_->setValue(line->port);
    for (int at = 0; at < int(std::size(kKinds)); ++at)
        if (kKinds[at].kind == line->kind)
            kind_->setCurrentIndex(at);
}

NetworkDevice NetworkDeviceDialog::filled_in() const
{
    return network_device(kKinds[kind_->currentIndex()].kind, host_->text(), quint16(tcp_port_->value()));
}

QString NetworkDeviceDialog::device() const
{
    return filled_in().device;
}

void NetworkDeviceDialog::show_device()
{
    const NetworkDevice made = filled_in();
    result_->setText(made.device.isEmpty() ? made.mistake : made.device);
    ok_->setEnabled(!made.device.isEmpty());
}

}  // namespace plenvo
