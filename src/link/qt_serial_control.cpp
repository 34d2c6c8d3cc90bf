#include "link/qt_serial_control.h"

#include <QElapsedTimer>

namespace plenvo {

namespace {

struct ParityLetter {
    QChar letter;
    QSerialPort::Parity parity;
};

constexpr ParityLetter kParities[] = {
    {u'N', QSerialPort::NoParity}, {u'E', QSerialPort::EvenParity}, {u'O', QSerialPort::OddParity},
    {u'M', QSerialPort::MarkParity}, {u'S', QSerialPort::SpaceParity},
};

}  // namespace

QtSerialControl::QtSerialControl(std::function<QString(int port)> device_for_port)
    : device_for_port_(std::move(device_for_port))
{
    QObject::connect(&serial_, &QSerialPort::errorOccurred,
                     [this](QSerialPort::SerialPortError error) { on_error(error); });
}

void QtSerialControl::on_error(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        if (!serial_.isOpen() || lost_)
            return;
        // The device is gone; the panel learns of it through device_lost().
        // Closing stops Qt from polling a dead file descriptor, once the
        // port's own read handler that reported the error has returned.
        lost_ = true;
        QMetaObject::invokeMethod(
            &serial_, [this] { if (lost_) serial_.close(); }, Qt::QueuedConnection);
        break;
    default:
        break;
    }
}

bool QtSerialControl::port_open() const
{
    return serial_.isOpen();
}

bool QtSerialControl::set_port_open(bool open)
{
    if (!open) {
        serial_.close();
        return true;
    }
    if (serial_.isOpen())
        return false;
    lost_ = false;
    serial_.setPortName(device_for_port_(port_));
    if (!serial_.open(QIODevice::ReadWrite))
        return false;
    const bool configured = serial_.setBaudRate(baud_) && serial_.setParity(parity_) &&
                            serial_.setDataBits(data_bits_) && serial_.setStopBits(stop_bits_) &&
                            serial_.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        serial_.close();
        return false;
    }
    return true;
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
    const auto parity = std::find_if(std::begin(kParities), std::end(kParities), [&](const ParityLetter& p) {
        return parts[1].size() == 1 && parts[1][0].toUpper() == p.letter;
    });
    if (!baud_ok || baud <= 0 || !bits_ok || bits < 5 || bits > 8 || !stop_ok || (stop != 1 && stop != 2) ||
        parity == std::end(kParities))
        return false;
    baud_ = baud;
    parity_ = parity->parity;
    data_bits_ = QSerialPort::DataBits(bits);
    stop_bits_ = stop == 1 ? QSerialPort::OneStop : QSerialPort::TwoStop;
    return true;
}

int QtSerialControl::in_buffer_count()
{
    return serial_.isOpen() ? int(serial_.bytesAvailable()) : 0;
}

void QtSerialControl::clear_in_buffer()
{
    if (serial_.isOpen()) {
        serial_.clear(QSerialPort::Input);
        serial_.readAll();
    }
}

int QtSerialControl::out_buffer_count()
{
    return serial_.isOpen() ? int(serial_.bytesToWrite()) : 0;
}

void QtSerialControl::clear_out_buffer()
{
    if (serial_.isOpen())
        serial_.clear(QSerialPort::Output);
}

QByteArray QtSerialControl::input()
{
    return serial_.isOpen() ? serial_.readAll() : QByteArray();
}

bool QtSerialControl::output(const QByteArray& bytes)
{
    if (!serial_.isOpen() || lost_)
        return false;
    return serial_.write(bytes) == bytes.size();
}

bool QtSerialControl::drain_output(int timeout_ms)
{
    // bytesToWrite() only falls as the data is written, which needs either
    // the event loop or a blocking wait; the wait is bounded.
    QElapsedTimer clock;
    clock.start();
    while (serial_.isOpen() && serial_.bytesToWrite() > 0) {
        const qint64 left = timeout_ms - clock.elapsed();
        if (left <= 0 || !serial_.waitForBytesWritten(int(left)))
            break;
    }
    return !serial_.isOpen() || serial_.bytesToWrite() == 0;
}

}  // namespace plenvo
