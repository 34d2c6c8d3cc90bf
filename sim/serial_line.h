#pragma once

#include <QSerialPort>

#include <memory>
#include <string>

#include "sim/line.h"

namespace plenvo::sim {

// A real serial port at the unit's 9600 baud 8N1, for a panel on another
// machine at the far end of a cable.
class SerialLine : public Line {
public:
    // Nullptr, with the reason in `error`, when the port cannot be opened.
    static std::unique_ptr<SerialLine> open(const std::string& device, std::string& error);

    std::string device() const override { return device_; }
    void write(std::span<const uint8_t> bytes) override;

private:
    explicit SerialLine(const std::string& device);

    std::string device_;
    QSerialPort port_;
};

}  // namespace plenvo::sim
