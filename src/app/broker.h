#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace plenvo {

class BrokerDoor;
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
// The same with the settings file beside the devices file.
std::optional<BrokerOptions> broker_options(const CommandLine& options, const PortDevices& devices, QString& error);

// The broker door for the options, not yet started; nullptr without --mqtt
// or with `error` set. The unit's id is --mqtt-id's, or made from the device
// behind `port`.
std::unique_ptr<BrokerDoor> make_broker_door(UnitModel& model, const CommandLine& options,
                                             const PortDevices& devices, int port, QString& error);

// --mqtt-forget: connects, clears the unit's retained messages and ends.
int forget_on_broker(int& argc, char** argv, const CommandLine& options);

// The broker door and the MQTT client library it needs live in a module of
// their own, loaded by the two calls above only when a broker is named.
// These are its entry points, found by name.
extern "C" BrokerDoor* plenvo_make_broker_door(UnitModel& model, const BrokerOptions& options,
                                               const PortDevices& devices, int port, QString& error);
extern "C" int plenvo_forget_on_broker(int& argc, char** argv, const CommandLine& options);

}  // namespace plenvo
