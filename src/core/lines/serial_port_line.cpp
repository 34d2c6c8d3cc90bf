#include "lines/serial_port_line.h"

#include <QFileInfo>

namespace plenvo {

namespace {

struct ParityMapping {
    Parity parity;
    QSerialPort::Parity serial;
};

constexpr ParityMapping kSerialParities[] = {
    {Parity::None, QSerialPort::NoParity}, {Parity::Odd, QSerialPort::OddParity},
    {Parity::Even, QSerialPort::EvenParity}, {Parity::Mark, QSerialPort::MarkParity},
    {Parity::Space, QSerialPort::SpaceParity},
};

QSerialPort::Parity serial_parity(Parity parity)
{
    for (const ParityMapping& mapping : kSerialParities)
        if (mapping.parity == parity)
            return mapping.serial;
    return QSerialPort::NoParity;
}

// The group whose members may use the device; serial devices belong to
// dialout on Debian-like systems.
QString users_group(const QFileInfo& device)
{
    const QString group = device.group();
    return group.isEmpty() || group == QLatin1String("root") ? QStringLiteral("dialout") : group;
}

}  // namespace

SerialPortLine::SerialPortLine(const QString& path) : path_(path)
{
    serial_.setPortName(path);
    QObject::connect(&serial_, &QSerialPort::errorOccurred,
                     [this](QSerialPort::SerialPortError error) { on_error(error); });
    QObject::connect(&serial_, &QSerialPort::readyRead, [this] {
        if (on_bytes_arrived)
            on_bytes_arrived();
    });
}

void SerialPortLine::on_error(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        if (!serial_.isOpen() || lost_)
            return;
        // The device is gone; the panel learns of it through lost().
        // Closing stops Qt from polling a dead file descriptor, once the
        // port's own read handler that reported the error has returned.
        lost_ = true;
        error_ = QStringLiteral("%1: device lost (%2)").arg(path_, serial_.errorString());
        QMetaObject::invokeMethod(
            &serial_, [this] { if (lost_) serial_.close(); }, Qt::QueuedConnection);
        break;
    default:
        break;
    }
}

bool SerialPortLine::open(const LineSettings& settings)
{
    lost_ = false;
    error_.clear();
    if (!serial_.open(QIODevice::ReadWrite)) {
        error_ = open_failure();
        return false;
    }
    const bool configured = serial_.setBaudRate(qint32(settings.baud)) &&
                            serial_.setParity(serial_parity(settings.parity)) &&
                            serial_.setDataBits(QSerialPort::DataBits(settings.data_bits)) &&
                            serial_.setStopBits(settings.stop_bits == 2 ? QSerialPort::TwoStop
                                                                        : QSerialPort::OneStop) &&
                            serial_.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        error_ = QStringLiteral("%1: line settings refused (%2)").arg(path_, serial_.errorString());
        serial_.close();
        return false;
    }
    return true;
}

QString SerialPortLine::open_failure() const
{
    switch (serial_.error()) {
    case QSerialPort::DeviceNotFoundError:
        return path_ + QStringLiteral(": no such device");
    case QSerialPort::PermissionError: {
        // A busy device and a forbidden one look alike to the serial
        // library; the device's access rights tell them apart.
        const QFileInfo device(path_);
        if (device.isReadable() && device.isWritable())
            return path_ + QStringLiteral(": busy, in use by another program");
        return QStringLiteral("%1: permission denied; join the %2 group (sudo usermod -aG %2 $USER), "
                              "then log in again")
            .arg(path_, users_group(device));
    }
    default:
        return QStringLiteral("%1: cannot be opened (%2)").arg(path_, serial_.errorString());
    }
}

int SerialPortLine::bytes_available()
{
    return serial_.isOpen() ? int(serial_.bytesAvailable()) : 0;
}

QByteArray SerialPortLine::read_all()
{
    return serial_.isOpen() ? serial_.readAll() : QByteArray();
}

void SerialPortLine::clear_input()
{
    if (serial_.isOpen()) {
        serial_.clear(QSerialPort::Input);
        serial_.readAll();
    }
}

int SerialPortLine::bytes_to_write()
{
    return serial_.isOpen() ? int(serial_.bytesToWrite()) : 0;
}

void SerialPortLine::clear_output()
{
    if (serial_.isOpen())
        serial_.clear(QSerialPort::Output);
}

bool SerialPortLine::write(const QByteArray& bytes)
{
    if (!serial_.isOpen() || lost_)
        return false;
    return serial_.write(bytes) == bytes.size();
}

bool SerialPortLine::drain(int timeout_ms)
{
    return !serial_.isOpen() || drain_output(serial_, timeout_ms);
}

}  // namespace plenvo
