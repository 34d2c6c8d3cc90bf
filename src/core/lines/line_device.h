#pragma once

#include <QString>

#include <optional>

namespace plenvo {

// What stands behind a port: a serial device by its path, or a serial port
// served over the network, "socket://HOST:PORT" (the raw bytes over TCP) or
// "rfc2217://HOST:PORT" (Telnet with COM port control).
struct LineDevice {
    enum class Kind { SerialPort, RawTcp, Rfc2217 };

    Kind kind = Kind::SerialPort;
    QString path;  // of a serial port
    QString host;  // of a network line (an IPv6 address without its brackets)
    quint16 port = 0;
};

// The device a port's device string names; nullopt, with the reason in
// `error`, when it is malformed.
std::optional<LineDevice> parse_device(const QString& device, QString& error);

// The device string naming `line`, as parse_device reads it.
QString device_string(const LineDevice& line);

// "HOST:PORT", an IPv6 host in brackets.
QString host_and_port(const QString& host, quint16 port);

// Whether `host` is an IPv4 or IPv6 address, the latter without brackets
// and with or without a scope ("fe80::1%eth0").
bool is_ip_address(const QString& host);

// Why the device string is malformed, or nullopt when it is well formed.
std::optional<QString> validate_device(const QString& device);

}  // namespace plenvo
