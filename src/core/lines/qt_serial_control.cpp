#include "lines/qt_serial_control.h"

#include <algorithm>
#include <optional>

#include "lines/serial_port_line.h"

namespace plenvo {

namespace {

struct ParityLetter {
    QChar letter;
    Parity parity;
};

constexpr ParityLetter kParityLetters[] = {
    {u'N', Parity::None}, {u'E', Parity::Even}, {u'O', Parity::Odd}, {u'M', Parity::Mark}, {u'S', Parity::Space},
};

}  // namespace

QtSerialControl::QtSerialControl(std::function<QString(int port)> device_for_port, NetworkLineMaker make_network_line)
    : device_for_port_(std::move(device_for_port)), make_network_line_(std::move(make_network_line))
{
}

QtSerialControl::~QtSerialControl() = default;

bool QtSerialControl::set_port_open(bool open)
{
    if (!open) {
        if (line_)
            line_->close();
        return true;
    }
    if (port_open())
        return false;
    return open_line();
}

bool QtSerialControl::open_line()
{
    const QString device = device_for_port_(port_);
    const std::optional<LineDevice> parsed = parse_device(device, error_);
    if (!parsed)
        return false;
    line_ = parsed->kind == LineDevice::Kind::SerialPort ? std::make_unique<SerialPortLine>(parsed->path)
                                                          : make_network_line_(device, *parsed, error_);
    if (!line_)
        return false;
    line_->on_connection_settled = [this] {
        if (on_connection_settled)
            on_connection_settled();
    };
    line_->on_bytes_arrived = [this] {
        if (on_bytes_arrived)
            on_bytes_arrived();
    };
    const bool opened = line_->open(settings_);
    error_ = opened ? QString() : line_->error_text();
    return opened;
}

QString QtSerialControl::error_text() const
{
    return line_ && line_->lost() ? line_->error_text() : error_;
}

bool QtSerialControl::set_settings(const QString& settings)
{
    // "baud,parity,data bits,stop bits", as in "9600,N,8,1".
    const QStringList parts = settings.split(',');
    if (parts.size() != 4)
        return false;
    bool baud_ok = false;
    bool bits_ok = false;
    bool stop_ok = false;
    const int baud = parts[0].toInt(&baud_ok);
    const int bits = parts[2].toInt(&bits_ok);
    const int stop = parts[3].toInt(&stop_ok);
    const auto parity = std::find_if(std::begin(kParityLetters), std::end(kParityLetters), [&](const ParityLetter& p) {
        return parts[1].size() == 1 && parts[1][0].toUpper() == p.letter;
    });
    if (!baud_ok || baud <= 0 || !bits_ok || bits < 5 || bits > 8 || !stop_ok || (stop != 1 && stop != 2) ||
        parity == std::end(kParityLetters))
        return false;
    settings_ = {uint32_t(baud), parity->parity, uint8_t(bits), uint8_t(stop)};
    return true;
}

bool QtSerialControl::network_line() const
{
    QString error;
    const std::optional<LineDevice> device = parse_device(device_for_port_(port_), error);
    return device && device->kind != LineDevice::Kind::SerialPort;
}

}  // namespace plenvo
