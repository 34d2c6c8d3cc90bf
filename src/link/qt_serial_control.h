#pragma once

#include <QSerialPort>

#include <functional>

#include "link/serial_control.h"

namespace plenvo {

// The serial line over QSerialPort. Port numbers name devices through
// `device_for_port`, so a USB adapter or a test's pseudo-terminal can stand
// behind COM1.
class QtSerialControl final : public SerialControl {
public:
    explicit QtSerialControl(std::function<QString(int port)> device_for_port);

    bool port_open() const override;
    bool set_port_open(bool open) override;
    void set_comm_port(int port) override { port_ = port; }
    bool set_settings(const QString& settings) override;
    int in_buffer_count() override;
    void clear_in_buffer() override;
    int out_buffer_count() override;
    void clear_out_buffer() override;
    void set_input_mode(int) override {}
    void set_input_len(int) override {}
    QByteArray input() override;
    bool output(const QByteArray& bytes) override;
    bool drain_output(int timeout_ms) override;
    bool device_lost() const override { return lost_; }

private:
    void on_error(QSerialPort::SerialPortError error);

    std::function<QString(int)> device_for_port_;
    QSerialPort serial_;
    int port_ = 1;
    bool lost_ = false;
    qint32 baud_ = 9600;
    QSerialPort::Parity parity_ = QSerialPort::NoParity;
    QSerialPort::DataBits data_bits_ = QSerialPort::Data8;
    QSerialPort::StopBits stop_bits_ = QSerialPort::OneStop;
};

}  // namespace plenvo
