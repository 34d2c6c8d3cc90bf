#pragma once

#include <QString>
#include <QStringList>

#include <map>
#include <optional>

namespace plenvo {

class PortDevices;

// The unit on an MQTT broker: the options, or the lines of the same names
// in the broker's settings file.
struct BrokerOptions {
    QString url;
    QString id;
    QString ca_file;
    QString password_file;
    // "off", or empty for the default prefix.
    QString discovery;
    QString presets_folder;
    bool forget = false;
};

// Where a door listens: an IP address, as QHostAddress takes it (no
// brackets), and a port.
struct ListenAddress {
    QString host;
    quint16 port = 0;

    bool operator==(const ListenAddress&) const = default;
};

struct CommandLine {
    // Devices named for port numbers, each well formed.
    std::map<int, QString> devices;
    bool trace = false;
    // --headless: the unit and the doors to it, without windows or a display.
    bool headless = false;
    // --listen: where the control protocol is also served on TCP.
    std::optional<ListenAddress> listen;
    BrokerOptions mqtt;
    // --web: where the page for phones and browsers is served.
    std::optional<ListenAddress> web;

    // Set when the program should end at once with this status, after
    // printing `output` (to stdout for status 0, stderr otherwise).
    std::optional<int> exit_status;
    QString output;
};

// Reads the program's own options and checks Qt's (-platform, -display,
// ...), which are left in place for QApplication to take. Needs no display.
CommandLine parse_command_line(const QStringList& arguments);

// Keeps the devices the options name for later runs, each written at once
// so that a crash loses none (a device the file holds already is not
// written again); returns why any could not be kept.
QStringList remember_devices(const CommandLine& options, PortDevices& devices);

// "[HOST:]PORT" as an address to listen on, 127.0.0.1 when no host is
// given; an IPv6 host goes in brackets. Empty with `error` set when it is
// none.
std::optional<ListenAddress> parse_listen_address(const QString& text, QString& error);

QString usage_text();
// One line on stderr in the program's name: what the user is told when no
// window is there to show it.
void say(const QString& text);
// "plenvo 1.42 (v 1.42H)": the release and the version the panel shows.
QString version_text();

}  // namespace plenvo
