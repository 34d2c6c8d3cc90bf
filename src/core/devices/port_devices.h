#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "devices/serial_devices.h"

class QFile;

namespace plenvo {

inline constexpr const char* kDevicesFileName = "plenvo-devices.ini";
inline constexpr int kPortCount = 2;

// Why a device string cannot stand behind a port, or nullopt when it can:
// a path, socket://HOST:PORT or rfc2217://HOST:PORT, on one line.
std::optional<QString> device_mistake(const QString& device);

// The device behind each port. A device chosen (on the command line or in
// the panel's menu) is kept in the devices file, "com1=DEVICE" and
// "com2=DEVICE" lines beside the settings file. A port with nothing chosen
// takes the first USB serial adapter found for port 1, the second for
// port 2, then the built-in ports.
class PortDevices {
public:
    using Finder = std::function<std::vector<SerialDevice>()>;

    // Reads the choices kept in the file at `path`; `find` finds the
    // machine's serial devices whenever a default is needed.
    explicit PortDevices(QString path, Finder find = [] { return serial_devices(); });

    // The devices of the program in `program_dir`, kept beside its settings
    // file.
    static PortDevices for_program(const QString& program_dir);

    const QString& path() const { return path_; }
    // What was wrong with the file when it was read, in one line naming it;
    // empty when nothing was. What it held is not used.
    const QString& problem() const { return problem_; }

    // The device behind the port: the one chosen, else the default.
    QString device(int port) const;
    std::optional<QString> chosen(int port) const;
    // The serial devices found now, adapters first.
    std::vector<SerialDevice> found() const { return find_(); }

    // Puts `device`, which must be well formed, behind the port from now on
    // and keeps it in the file at once. When the file cannot be written the
    // choice holds for this run, and the reason is returned.
    std::optional<QString> choose(int port, const QString& device);

    // The file's text and what is read from it: a problem makes the whole
    // file count for nothing.
    struct Contents {
        std::map<int, QString> chosen;
        QString problem;
    };
    static Contents parse(const QByteArray& text);
    static QByteArray format(const std::map<int, QString>& chosen);

    // The device of a port with nothing chosen, among the devices `found`.
    static QString default_device(int port, const std::vector<SerialDevice>& found);

private:
    void read();
    // Takes the choices from the open file; the problem, naming the file.
    QString read_from(QFile& file);

    QString path_;
    Finder find_;
    std::map<int, QString> chosen_;
    QString problem_;
};

}  // namespace plenvo
