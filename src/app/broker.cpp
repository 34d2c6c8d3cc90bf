#include "app/broker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "app/command_line.h"
#include "app/modules.h"
#include "devices/port_devices.h"
#include "doors/broker_door.h"

namespace plenvo {

namespace {

QString broker_file(const PortDevices& devices)
{
    return QFileInfo(devices.path()).absoluteDir().filePath(QLatin1String(kBrokerFileName));
}

template <typename Entry>
Entry broker_entry(const char* name, QString& error)
{
    return module_entry<Entry>(QStringLiteral(PLENVO_BROKER_MODULE), name, "the broker door", error);
}

}  // namespace

std::optional<BrokerOptions> broker_options(const BrokerOptions& given, const QString& path, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return given;
    QStringList arguments{QStringLiteral("plenvo")};
    int number = 0;
    while (!file.atEnd()) {
        ++number;
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (!line.startsWith(QLatin1String("mqtt")) || line.startsWith(QLatin1String("mqtt-forget"))) {
            error = QStringLiteral("%1, line %2: only the mqtt options belong here").arg(path).arg(number);
            return std::nullopt;
        }
        arguments << QStringLiteral("--") + line;
    }
    const CommandLine read = parse_command_line(arguments);
    if (read.exit_status) {
        error = path + QStringLiteral(": ") + read.output.section(QStringLiteral(" (try"), 0, 0);
        return std::nullopt;
    }
    BrokerOptions options = read.mqtt;
    for (auto field : {&BrokerOptions::url, &BrokerOptions::id, &BrokerOptions::ca_file,
                       &BrokerOptions::password_file, &BrokerOptions::discovery, &BrokerOptions::presets_folder})
        if (!(given.*field).isEmpty())
            options.*field = given.*field;
    options.forget = given.forget;
    return options;
}

std::optional<BrokerOptions> broker_options(const CommandLine& options, const PortDevices& devices, QString& error)
{
    return broker_options(options.mqtt, broker_file(devices), error);
}

std::unique_ptr<BrokerDoor> make_broker_door(UnitModel& model, const CommandLine& options,
                                             const PortDevices& devices, int port, QString& error)
{
    const std::optional<BrokerOptions> resolved = broker_options(options, devices, error);
    if (!resolved || resolved->url.isEmpty())
        return nullptr;
    const auto make = broker_entry<decltype(&plenvo_make_broker_door)>("plenvo_make_broker_door", error);
    return std::unique_ptr<BrokerDoor>(make ? make(model, *resolved, devices, port, error) : nullptr);
}

int forget_on_broker(int& argc, char** argv, const CommandLine& options)
{
    QString error;
    const auto forget = broker_entry<decltype(&plenvo_forget_on_broker)>("plenvo_forget_on_broker", error);
    if (!forget) {
        say(error);
        return 2;
    }
    return forget(argc, argv, options);
}

}  // namespace plenvo
