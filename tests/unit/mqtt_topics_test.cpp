// The broker door's pure parts: broker addresses, unit ids, commands read
// from topics and payloads, the discovery messages Home Assistant reads, the
// retry back-off, and the broker settings file under the command line.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "app/broker.h"
#include "app/command_line.h"
#include "doors/mqtt_client.h"
#include "doors/mqtt_topics.h"

namespace plenvo::mqtt {
namespace {

TEST(MqttTopics, BrokerAddresses)
{
    struct Case {
        const char* url;
        std::optional<BrokerAddress> address;  // nullopt: refused
    };
    const Case cases[] = {
        {"mqtt://broker.lan", BrokerAddress{false, "", std::nullopt, "broker.lan", 1883}},
        {"mqtts://broker.lan", BrokerAddress{true, "", std::nullopt, "broker.lan", 8883}},
        {"mqtt://ha@10.0.0.2:1884/", BrokerAddress{false, "ha", std::nullopt, "10.0.0.2", 1884}},
        {"mqtts://ha:s3:cr@t@[::1]:8884", BrokerAddress{true, "ha", "s3:cr@t", "::1", 8884}},
        {"mqtt://ha:@host", BrokerAddress{false, "ha", "", "host", 1883}},
        {"http://broker.lan", std::nullopt},
        {"mqtt://", std::nullopt},
        {"mqtt://host:0", std::nullopt},
        {"mqtt://host:65536", std::nullopt},
        {"mqtt://host:18x3", std::nullopt},
        {"mqtt://:pw@host", std::nullopt},
        {"mqtt://host/topic", std::nullopt},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(parse_broker_url(c.url, error), c.address) << c.url;
        EXPECT_EQ(error.empty(), c.address.has_value()) << c.url << ": " << error;
    }
}

TEST(MqttTopics, UnitIdsAreOneTopicLevel)
{
    const std::pair<const char*, const char*> cases[] = {
        {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1-if00-port0", "usb-ftdi_ft232r_usb_uart_a10k1-if00-port0"},
        {"/dev/ttyUSB0", "ttyusb0"},
        {"socket://rack.lan:4001", "rack_lan_4001"},
        {"rfc2217://10.0.0.9:2217", "10_0_0_9_2217"},
        {"a+b#c d", "a_b_c_d"},
        {"", "unit"},
    };
    for (const auto& [device, id] : cases) {
        EXPECT_EQ(unit_id_of(device), id) << device;
        EXPECT_EQ(id_mistake(unit_id_of(device)), "") << device;
    }
    for (const char* bad : {"", "a/b", "hall+", "#", "x y"})
        EXPECT_NE(id_mistake(bad), "") << bad;
}

TEST(MqttTopics, CommandsFromTopicsAndPayloads)
{
    struct Case {
        const char* topic;
        std::string payload;
        Command::Kind kind;
        const char* name_or_preset;  // Set: the setting; Preset: its name
        int value;
        const char* error_part;  // Bad: part of the error
    };
    const std::string long_payload(kMaxPayload + 1, '1');
    const Case cases[] = {
        {"plenvo/hall/bright/set", "40", Command::Kind::Set, "bright", 40, ""},
        {"plenvo/hall/power/set", " ON\n", Command::Kind::Set, "power", 1, ""},
        {"plenvo/hall/output/set", "720p", Command::Kind::Set, "output", 6, ""},
        {"plenvo/hall/aspect/set", "16:9", Command::Kind::Set, "aspect", 0, ""},
        {"plenvo/hall/lock/set", "on", Command::Kind::Set, "lock", 0, ""},
        {"plenvo/hall/preset/set", "evening", Command::Kind::Preset, "evening", 0, ""},
        {"plenvo/hall/bright/set", "64", Command::Kind::Bad, "", 0, "bad value \"64\" for bright (values: 0 to 63)"},
        {"plenvo/hall/bright/set", "", Command::Kind::Bad, "", 0, "no value for bright"},
        {"plenvo/hall/output/set", "4k", Command::Kind::Bad, "", 0, "bad value \"4k\" for output"},
        {"plenvo/hall/brite/set", "40", Command::Kind::Bad, "", 0, "plenvo/hall/brite/set: unknown setting \"brite\""},
        {"plenvo/hall/bright/x/set", "40", Command::Kind::Bad, "", 0, "unknown topic"},
        {"plenvo/hallway/bright/set", "40", Command::Kind::Bad, "", 0, "unknown topic"},
        {"plenvo/hall/bright", "40", Command::Kind::Bad, "", 0, "unknown topic"},
        {"plenvo/hall/bright/set", long_payload, Command::Kind::Bad, "", 0, "65 bytes is too long"},
        {"plenvo/hall/bright/set", "4\x01", Command::Kind::Bad, "", 0, "not plain text"},
        {"plenvo/hall/power/set", "\xc3\xa9", Command::Kind::Bad, "", 0, "not plain text"},
        {"plenvo/hall/preset/set", " ", Command::Kind::Bad, "", 0, "no preset named"},
    };
    for (const Case& c : cases) {
        const Command command = read_command("plenvo/hall", c.topic, c.payload);
        const std::string where = std::string(c.topic) + " " + c.payload;
        ASSERT_EQ(command.kind, c.kind) << where << ": " << command.error;
        if (c.kind == Command::Kind::Set) {
            EXPECT_EQ(command.assignment.setting->name, std::string(c.name_or_preset)) << where;
            EXPECT_EQ(command.assignment.value, c.value) << where;
        } else if (c.kind == Command::Kind::Preset) {
            EXPECT_EQ(command.preset, c.name_or_preset);
        } else {
            EXPECT_NE(command.error.find(c.error_part), std::string::npos) << where << ": " << command.error;
            EXPECT_TRUE(command.error.starts_with(c.topic)) << command.error;
        }
    }
}

// What Home Assistant requires of each kind of entity, besides the unique
// id and the device's identifiers every discovered entity needs.
const std::map<std::string, std::vector<const char*>> kRequired = {
    {"switch", {"command_topic", "state_topic", "payload_on", "payload_off"}},
    {"select", {"command_topic", "state_topic", "options"}},
    {"number", {"command_topic", "state_topic", "min", "max"}},
    {"binary_sensor", {"state_topic"}},
    {"button", {"command_topic", "payload_press"}},
};

TEST(MqttTopics, DiscoveryDescribesEverySettingOnce)
{
    const Device device{"hall", "plenvo/hall", "1.42"};
    const std::vector<Message> messages = discovery_messages("homeassistant", device, {"Evening film", "day"});
    std::map<std::string, int> per_component;
    std::set<QString> unique_ids;
    std::set<QString> command_topics;
    for (const Message& message : messages) {
        const QJsonObject config = QJsonDocument::fromJson(QByteArray::fromStdString(message.payload)).object();
        const std::string component = message.topic.substr(14, message.topic.find('/', 14) - 14);
        ASSERT_TRUE(message.topic.starts_with("homeassistant/" + component + "/hall/") &&
                    message.topic.ends_with("/config") && message.retain)
            << message.topic;
        ASSERT_TRUE(kRequired.contains(component)) << message.topic;
        for (const char* field : kRequired.at(component))
            EXPECT_TRUE(config.contains(QLatin1String(field))) << message.topic << " lacks " << field;
        EXPECT_TRUE(unique_ids.insert(config["unique_id"].toString()).second) << message.topic;
        EXPECT_EQ(config["device"]["identifiers"].toArray().first().toString(), "plenvo_hall");
        EXPECT_EQ(config["availability_topic"].toString(), "plenvo/hall/availability");
        ++per_component[component];

        // Every command topic is one the door reads back as a command.
        if (config.contains("command_topic") && component != "button") {
            const std::string topic = config["command_topic"].toString().toStdString();
            const QJsonArray options = config["options"].toArray();
            const std::string payload = options.isEmpty()
                ? (component == "number" ? "63" : config["payload_off"].toString().toStdString())
                : options.last().toString().toStdString();
            const Command command = read_command(device.base, topic, payload);
            EXPECT_EQ(command.kind, Command::Kind::Set) << topic << ": " << command.error;
            EXPECT_EQ(config["state_topic"].toString().toStdString(), state_topic(device.base, *command.assignment.setting));
            command_topics.insert(config["command_topic"].toString());
        }
    }
    EXPECT_EQ(per_component, (std::map<std::string, int>{
                                 {"binary_sensor", 1}, {"button", 2}, {"number", 6}, {"select", 3}, {"switch", 10}}));
    EXPECT_EQ(command_topics.size(), control::kSettings.size());

    // Forgetting empties every discovery topic and the retained states.
    const std::vector<Message> forget = forget_messages("homeassistant", device, {"Evening film", "day"});
    std::set<std::string> cleared;
    for (const Message& message : forget) {
        EXPECT_TRUE(message.payload.empty() && message.retain) << message.topic;
        cleared.insert(message.topic);
    }
    for (const Message& message : messages)
        EXPECT_TRUE(cleared.contains(message.topic)) << message.topic;
    EXPECT_TRUE(cleared.contains("plenvo/hall/bright") && cleared.contains("plenvo/hall/availability"));
    EXPECT_EQ(forget_messages("", device, {}).size(), control::kSettings.size() + 2);
}

TEST(MqttTopics, RetriesBackOffToHalfAMinute)
{
    const std::pair<int, int> cases[] = {{0, 1}, {1, 1}, {2, 2}, {3, 4}, {4, 8}, {5, 16}, {6, 30}, {40, 30}};
    for (const auto& [failures, seconds] : cases)
        EXPECT_EQ(MqttClient::retry_seconds(failures), seconds) << failures;
}

TEST(MqttTopics, SettingsFileUnderTheCommandLine)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QLatin1String(kBrokerFileName));
    struct Case {
        const char* file;
        const char* command_line_id;
        const char* url;  // nullptr: a mistake
        const char* id;
        const char* discovery;
    };
    const Case cases[] = {
        {"# broker\nmqtt=mqtt://a\n\nmqtt-id=hall\nmqtt-discovery=off\n", "", "mqtt://a", "hall", "off"},
        {"mqtt=mqtt://a\r\nmqtt-id=hall\r\n", "den", "mqtt://a", "den", ""},
        {"mqtt=http://a\n", "", nullptr, "", ""},
        {"mqtt-forget\n", "", nullptr, "", ""},
        {"com1=/dev/ttyS0\n", "", nullptr, "", ""},
    };
    for (const Case& c : cases) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.file);
        file.close();
        BrokerOptions given;
        given.id = QLatin1String(c.command_line_id);
        QString error;
        const std::optional<BrokerOptions> options = broker_options(given, path, error);
        ASSERT_EQ(options.has_value(), c.url != nullptr) << c.file << error.toStdString();
        if (!options) {
            EXPECT_TRUE(error.startsWith(path)) << error.toStdString();
            continue;
        }
        EXPECT_EQ(options->url, QLatin1String(c.url));
        EXPECT_EQ(options->id, QLatin1String(c.id));
        EXPECT_EQ(options->discovery, QLatin1String(c.discovery));
    }
}

}  // namespace
}  // namespace plenvo::mqtt
