#include "ctl/ports.h"

#include <QCoreApplication>

#include "devices/port_devices.h"
#include "devices/serial_devices.h"

namespace plenvo::ctl {

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
    const std::vector<SerialDevice> found = serial_devices();
    if (found.empty())
        return text + QStringLiteral("serial devices found: none\n");
    text += QStringLiteral("serial devices found:\n");
    for (const SerialDevice& device : found)
        text += QStringLiteral("  ") + device_label(device) + '\n';
    return text;
}

}  // namespace plenvo::ctl
