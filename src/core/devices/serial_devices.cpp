#include "devices/serial_devices.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>
#include <set>

namespace plenvo {

namespace {

QString description_of(const QSerialPortInfo& info)
{
    QStringList parts;
    for (const QString& part : {info.description(), info.manufacturer()})
        if (!part.isEmpty() && !parts.contains(part))
            parts << part;
    return parts.join(QStringLiteral(", "));
}

const SystemPort* port_at(const std::vector<SystemPort>& ports, const QString& canonical_path)
{
    const auto it = std::find_if(ports.begin(), ports.end(), [&](const SystemPort& port) {
        return QFileInfo(port.path).canonicalFilePath() == canonical_path;
    });
    return it == ports.end() ? nullptr : &*it;
}

}  // namespace

std::vector<SerialDevice> serial_devices(const std::vector<SystemPort>& ports, const QString& stable_folder)
{
    std::vector<SerialDevice> found;
    // The ports a stable name leads to, by their real path.
    std::set<QString> named;
    const QFileInfoList links =
        QDir(stable_folder).entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& link : links) {
        const QString target = link.canonicalFilePath();
        // A name left behind by an adapter that is gone leads nowhere.
        if (target.isEmpty() || !named.insert(target).second)
            continue;
        SerialDevice device{link.absoluteFilePath(), target, QString(), true};
        if (const SystemPort* port = port_at(ports, target)) {
            device.system_path = port->path;
            device.description = port->description;
        }
        found.push_back(device);
    }
    for (const SystemPort& port : ports)
        if (!named.count(QFileInfo(port.path).canonicalFilePath()))
            found.push_back({port.path, port.path, port.description, port.usb});
    std::sort(found.begin(), found.end(), [](const SerialDevice& a, const SerialDevice& b) {
        return a.adapter != b.adapter ? a.adapter : a.path < b.path;
    });
    return found;
}

std::vector<SystemPort> system_ports()
{
    std::vector<SystemPort> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.push_back({info.systemLocation(), description_of(info), info.hasVendorIdentifier()});
    return ports;
}

std::vector<SerialDevice> serial_devices()
{
    return serial_devices(system_ports(), QString::fromLatin1(kStableNamesFolder));
}

QString device_label(const SerialDevice& device)
{
    QString name = device.description;
    if (device.path != device.system_path) {
        const QString system_name = QStringLiteral("(%1)").arg(QFileInfo(device.system_path).fileName());
        name = name.isEmpty() ? system_name : name + ' ' + system_name;
    }
    return name.isEmpty() ? device.path : name + QStringLiteral(" — ") + device.path;
}

}  // namespace plenvo
