#include "ctl/ports.h"

#include <QCoreApplication>

#include "devices/port_devices.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <map>

#include "app/command_line.h"

namespace plenvo::ctl {

namespace {

// Device path to its stable name, where udev made one.
std::map<QString, QString> stable_names()
{
    std::map<QString, QString> names;
    const QDir by_id(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo& link : by_id.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        names[link.canonicalFilePath()] = link.absoluteFilePath();
    return names;
}

QString description_of(const QSerialPortInfo& info)
{
    QStringList parts;
    for (const QString& part : {info.description(), info.manufacturer()})
        if (!part.isEmpty() && !parts.contains(part))
            parts << part;
    return parts.join(QStringLiteral(", "));
}

}  // namespace

// The devices file beside the panel's settings: plenvo-ctl is installed
// beside plenvo, so the program's folder is the panel's.
QString configured_device(int port)
{
    return PortDevices::for_program(QCoreApplication::applicationDirPath()).device(port);
}

QString ports_text()
{
    QString text;
    for (int port = 1; port <= kPorts; ++port)
        text += QStringLiteral("port %1: %2\n").arg(port).arg(configured_device(port));
    const QList<QSerialPortInfo> found = QSerialPortInfo::availablePorts();
    if (found.isEmpty())
        return text + QStringLiteral("serial devices found: none\n");
    text += QStringLiteral("serial devices found:\n");
    const std::map<QString, QString> stable = stable_names();
    for (const QSerialPortInfo& info : found) {
        QStringList columns{info.systemLocation()};
        if (const auto it = stable.find(info.systemLocation()); it != stable.end())
            columns << it->second;
        if (const QString description = description_of(info); !description.isEmpty())
            columns << description;
        text += QStringLiteral("  ") + columns.join(QStringLiteral("  ")) + '\n';
    }
    return text;
}

}  // namespace plenvo::ctl
