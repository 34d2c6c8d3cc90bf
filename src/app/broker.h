#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace plenvo {

class MqttDoor;
class PortDevices;
class UnitModel;
struct BrokerOptions;
struct CommandLine;

inline constexpr const char* kBrokerFileName = "plenvo-mqtt.conf";
inline constexpr const char* kPasswordVariable = "PLENVO_MQTT_PASSWORD";

// The broker options in effect: the command line's, each over the same
// line of the settings file at `path` ("mqtt=URL", "mqtt-id=hall", ...;
// blank lines and lines starting with # are skipped). Empty with `error`
// set when the file holds a mistake.
std::optional<BrokerOptions> broker_options(const BrokerOptions& given, const QString& path, QString& error);

// The broker door for the options, not yet started; nullptr without --mqtt
// or with `error` set. The unit's id is --mqtt-id's, or made from the device
// behind `port`.
std::unique_ptr<MqttDoor> make_broker_door(UnitModel& model, const CommandLine& options, const PortDevices& devices,
                                           int port, QString& error);

// --mqtt-forget: connects, clears the unit's retained messages and ends.
int forget_on_broker(int& argc, char** argv, const CommandLine& options);

}  // namespace plenvo
