// The broker door's module: the MQTT door and the client library under
// it, loaded only when a broker is named (app/broker.h).

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTimer>

#include "app/broker.h"
#include "app/command_line.h"
#include "devices/port_devices.h"
#include "devices/settings_file.h"
#include "doors/mqtt_client.h"
#include "doors/mqtt_door.h"

namespace plenvo {

namespace {

constexpr int kForgetWithinMs = 10000;

// The password: its file's first line, else the environment's, else the URL's.
std::optional<std::string> password(const BrokerOptions& options, const mqtt::BrokerAddress& broker, QString& error)
{
    if (!options.password_file.isEmpty()) {
        QFile file(options.password_file);
        if (!file.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("--mqtt-password-file: cannot read %1: %2").arg(file.fileName(), file.errorString());
            return std::nullopt;
        }
        return file.readLine().trimmed().toStdString();
    }
    if (qEnvironmentVariableIsSet(kPasswordVariable))
        return qEnvironmentVariable(kPasswordVariable).toStdString();
    return broker.password;
}

struct DoorSettings {
    MqttDoor::Settings settings;
    QString error;
};

DoorSettings door_settings(const std::optional<BrokerOptions>& options, const PortDevices& devices, int port)
{
    DoorSettings out;
    if (!options || options->url.isEmpty())
        return out;
    std::string error;
    std::optional<mqtt::BrokerAddress> broker = mqtt::parse_broker_url(options->url.toStdString(), error);
    if (!broker) {
        out.error = QStringLiteral("--mqtt: ") + QString::fromStdString(error);
        return out;
    }
    const std::optional<std::string> secret = password(*options, *broker, out.error);
    if (!out.error.isEmpty())
        return out;
    broker->password = secret;

    MqttDoor::Settings& s = out.settings;
    s.device.id = options->id.isEmpty() ? mqtt::unit_id_of(devices.device(port).toStdString()) : options->id.toStdString();
    s.device.base = "plenvo/" + s.device.id;
    s.device.version = PLENVO_VERSION;
    s.discovery_prefix = options->discovery == QLatin1String("off") ? std::string()
                         : options->discovery.isEmpty()          ? std::string(mqtt::kDefaultDiscoveryPrefix)
                                                                 : options->discovery.toStdString();
    s.presets_folder = options->presets_folder;
    s.client.broker = *broker;
    s.client.ca_file = options->ca_file;
    s.client.client_id = "plenvo-" + s.device.id;
    return out;
}

}  // namespace

BrokerDoor* plenvo_make_broker_door(UnitModel& model, const BrokerOptions& options, const PortDevices& devices,
                                    int port, QString& error)
{
    DoorSettings door = door_settings(options, devices, port);
    error = door.error;
    if (!error.isEmpty() || door.settings.device.id.empty())
        return nullptr;
    return new MqttDoor(model, std::move(door.settings));
}

int plenvo_forget_on_broker(int& argc, char** argv, const CommandLine& options)
{
    QCoreApplication app(argc, argv);
    const QString program_dir = QCoreApplication::applicationDirPath();
    const PortDevices devices = PortDevices::for_program(program_dir);
    const int port = SettingsFile::for_program(program_dir).read().com_port.value_or(1);
    QString error;
    const std::optional<BrokerOptions> resolved = broker_options(options, devices, error);
    DoorSettings door = door_settings(resolved, devices, port);
    if (!error.isEmpty())
        door.error = error;
    if (door.settings.device.id.empty()) {
        say(door.error.isEmpty() ? QStringLiteral("--mqtt-forget needs --mqtt") : door.error);
        return 2;
    }
    const MqttDoor::Settings& s = door.settings;
    std::vector<std::string> presets;
    if (!s.presets_folder.isEmpty())
        for (const QString& file : QDir(s.presets_folder).entryList(QDir::Files, QDir::Name))
            presets.push_back(file.toStdString());
    std::vector<mqtt::Message> messages = mqtt::forget_messages(s.discovery_prefix, s.device, presets);
    const mqtt::Message last = messages.back();
    messages.pop_back();

    MqttClient client(s.client);
    int status = 1;
    QObject::connect(&client, &MqttClient::connected, &app, [&] {
        for (const mqtt::Message& message : messages)
            client.publish(message);
        status = 0;
        // Out of the client's callback, so that its queue goes out whole.
        QTimer::singleShot(0, &app, [&] {
            client.stop(last);
            say(QStringLiteral("mqtt: removed %1 retained messages of %2").arg(messages.size() + 1)
                    .arg(QString::fromStdString(s.device.base)));
            QCoreApplication::quit();
        });
    });
    QObject::connect(&client, &MqttClient::refused, &app, [](const QString& why) {
        say(QStringLiteral("mqtt: the broker refused the connection: ") + why);
        QCoreApplication::exit(1);
    });
    QTimer::singleShot(kForgetWithinMs, &app, [] {
        say(QStringLiteral("mqtt: the broker could not be reached"));
        QCoreApplication::exit(1);
    });
    client.start();
    return QCoreApplication::exec() == 0 ? status : 1;
}

}  // namespace plenvo
