#pragma once

// What the broker door says and reads, without the broker: the broker's
// address, the topics under a unit's base topic, the commands that arrive on
// them and the discovery messages that let Home Assistant find the unit.
//
//   BASE/NAME            the unit's value of a setting, retained: "on", "720p", "40"
//   BASE/NAME/set        a value for the setting, in the same words
//   BASE/preset/set      the name of a preset to load
//   BASE/availability    "online" while the program is connected and the unit
//                        has answered, "offline" (also the connection's will)
//   BASE/line            the port's line, retained: {"port": "COM1", "state": "opened"}
//   BASE/error           one line per command the unit did not take, and why

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/setting_table.h"

namespace plenvo::mqtt {

// A payload longer than this is no value of any setting or preset name.
inline constexpr size_t kMaxPayload = 64;
inline constexpr std::string_view kDefaultDiscoveryPrefix = "homeassistant";

// mqtt://[USER[:PASSWORD]@]HOST[:PORT] or mqtts://...
struct BrokerAddress {
    bool tls = false;
    std::string user;
    std::optional<std::string> password;
    std::string host;
    int port = 1883;
    bool operator==(const BrokerAddress&) const = default;
};

// Empty with `error` set when the text is no broker address.
std::optional<BrokerAddress> parse_broker_url(std::string_view url, std::string& error);

// A unit's id as one topic level, from the device behind its port: the last
// part of a by-id path or a device path, or the host and port of a network
// line, in lower case with anything but letters, digits, '-' and '_' made '_'.
std::string unit_id_of(std::string_view device);
// Why `id` cannot be a topic level, or empty.
std::string id_mistake(std::string_view id);

std::string state_topic(std::string_view base, const control::Setting& setting);
std::string set_topic(std::string_view base, const control::Setting& setting);
std::string availability_topic(std::string_view base);
std::string line_topic(std::string_view base);
std::string error_topic(std::string_view base);
std::string preset_topic(std::string_view base);
// What the door subscribes to under `base`.
std::vector<std::string> command_filters(std::string_view base);

// A message that arrived under the base topic, read.
struct Command {
    enum class Kind { Set, Preset, Bad };
    Kind kind = Kind::Bad;
    control::Assignment assignment;  // Set
    std::string preset;              // Preset
    std::string error;               // Bad: "TOPIC: what is wrong"
};
Command read_command(std::string_view base, std::string_view topic, std::string_view payload);

struct Message {
    std::string topic;
    std::string payload;
    bool retain = true;
    bool operator==(const Message&) const = default;
};

struct Device {
    std::string id;       // the unit's id, as in the base topic
    std::string base;     // the base topic
    std::string version;  // the program's version
};

// The retained configuration of every entity: the settings, the line as a
// connectivity sensor and a button per preset name.
std::vector<Message> discovery_messages(std::string_view prefix, const Device& device,
                                        const std::vector<std::string>& presets);
// Empty retained messages that remove what discovery_messages published.
std::vector<Message> forget_messages(std::string_view prefix, const Device& device,
                                     const std::vector<std::string>& presets);

}  // namespace plenvo::mqtt
