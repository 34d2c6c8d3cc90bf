#pragma once

#include <QString>

#include <vector>

namespace plenvo {

// Where udev gives each USB serial adapter a name that stays the same from
// boot to boot and port to port.
inline constexpr const char* kStableNamesFolder = "/dev/serial/by-id";

// A serial port as the system reports it.
struct SystemPort {
    QString path;         // "/dev/ttyUSB0"
    QString description;  // "FT232R USB UART, FTDI"; may be empty
    bool usb = false;
};

// A serial device the user can put behind a port.
struct SerialDevice {
    QString path;         // what to open: its stable name where it has one
    QString system_path;  // the name the system gave it this time
    QString description;
    bool adapter = false;  // plugged in, not built into the machine

    bool operator==(const SerialDevice&) const = default;
};

// The devices among `ports` and the stable names in `stable_folder`: a port
// that a stable name leads to goes by that name, and a stable name leading
// to no reported port is an adapter all the same. Adapters come first;
// each group is ordered by name, so the order does not change with the
// order the adapters were plugged in.
std::vector<SerialDevice> serial_devices(const std::vector<SystemPort>& ports, const QString& stable_folder);

// The serial ports this machine reports now.
std::vector<SystemPort> system_ports();

// This machine's serial devices.
std::vector<SerialDevice> serial_devices();

// "FT232R USB UART (ttyUSB0) — /dev/serial/by-id/usb-FTDI_...": how a device
// is named to the user.
QString device_label(const SerialDevice& device);

}  // namespace plenvo
