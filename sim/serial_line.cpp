#include "sim/serial_line.h"

namespace plenvo::sim {

std::unique_ptr<SerialLine> SerialLine::open(const std::string& device, std::string& error)
{
    std::unique_ptr<SerialLine> line(new SerialLine(device));
    QSerialPort& port = line->port_;
    const bool ready = port.open(QIODevice::ReadWrite) && port.setBaudRate(QSerialPort::Baud9600) &&
                       port.setDataBits(QSerialPort::Data8) && port.setParity(QSerialPort::NoParity) &&
                       port.setStopBits(QSerialPort::OneStop) &&
                       port.setFlowControl(QSerialPort::NoFlowControl);
    if (!ready) {
        error = device + ": " + port.errorString().toStdString();
        return nullptr;
    }
    return line;
}

SerialLine::SerialLine(const std::string& device) : device_(device)
{
    port_.setPortName(QString::fromStdString(device));
    QObject::connect(&port_, &QSerialPort::readyRead, [this] {
        const QByteArray bytes = port_.readAll();
        deliver({reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())});
    });
}

void SerialLine::write(std::span<const uint8_t> bytes)
{
    port_.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
}

}  // namespace plenvo::sim
