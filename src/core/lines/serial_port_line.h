#pragma once

#include <QSerialPort>

#include "lines/line.h"

namespace plenvo {

// A serial device (built-in port, USB adapter, pseudo-terminal) by its path.
class SerialPortLine final : public Line {
public:
    explicit SerialPortLine(const QString& path);

    bool open(const LineSettings& settings) override;
    void close() override { serial_.close(); }
    bool is_open() const override { return serial_.isOpen(); }
    int bytes_available() override;
    QByteArray read_all() override;
    void clear_input() override;
    int bytes_to_write() override;
    void clear_output() override;
    bool write(const QByteArray& bytes) override;
    bool drain(int timeout_ms) override;
    bool lost() const override { return lost_; }
    QString error_text() const override { return error_; }

private:
    void on_error(QSerialPort::SerialPortError error);
    QString open_failure() const;

    QString path_;
    QSerialPort serial_;
    bool lost_ = false;
    QString error_;
};

}  // namespace plenvo
