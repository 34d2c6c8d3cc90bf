#pragma once

#include <functional>
#include <memory>

#include "lines/line.h"
#include "lines/line_device.h"
#include "lines/serial_control.h"

namespace plenvo {

// The line to the unit. Port numbers name devices through
// `device_for_port`, so a USB adapter, a test's pseudo-terminal or a serial
// port served over the network can stand behind COM1; each opening takes
// the kind of line its device string names.
//
// A network line opens at once and connects afterwards (see SerialControl);
// closing it meanwhile abandons the connection. Network lines come from
// `make_network_line` (lines/network_line.h, or a module that holds it), so
// that a program on a serial port need not load Qt's network module; it
// returns nullptr, with the reason in `error`, when it cannot make one.
class QtSerialControl final : public SerialControl {
public:
    using NetworkLineMaker =
        std::function<std::unique_ptr<Line>(const QString& device, const LineDevice& address, QString& error)>;

    QtSerialControl(std::function<QString(int port)> device_for_port, NetworkLineMaker make_network_line);
    ~QtSerialControl() override;

    bool port_open() const override { return line_ && line_->is_open(); }
    bool set_port_open(bool open) override;
    void set_comm_port(int port) override { port_ = port; }
    bool set_settings(const QString& settings) override;
    int in_buffer_count() override { return line_ ? line_->bytes_available() : 0; }
    void clear_in_buffer() override { if (line_) line_->clear_input(); }
    int out_buffer_count() override { return line_ ? line_->bytes_to_write() : 0; }
    void clear_out_buffer() override { if (line_) line_->clear_output(); }
    void set_input_mode(int) override {}
    void set_input_len(int) override {}
    QByteArray input() override { return line_ ? line_->read_all() : QByteArray(); }
    bool output(const QByteArray& bytes) override { return line_ && line_->write(bytes); }
    bool drain_output(int timeout_ms) override { return !line_ || line_->drain(timeout_ms); }
    bool device_lost() const override { return line_ && line_->lost(); }
    QString error_text() const override;
    bool network_line() const override;
    bool connecting() const override { return line_ && line_->connecting(); }

private:
    bool open_line();

    std::function<QString(int)> device_for_port_;
    NetworkLineMaker make_network_line_;
    std::unique_ptr<Line> line_;
    int port_ = 1;
    LineSettings settings_;
    QString error_;
};

}  // namespace plenvo
