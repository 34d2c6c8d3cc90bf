#include "doors/mqtt_topics.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cctype>
#include <charconv>

#include "base/version.h"
#include "control/text.h"

namespace plenvo::mqtt {

namespace {

std::string lower(std::string_view text)
{
    std::string out(text);
    std::ranges::transform(out, out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

bool is_id_char(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
}

std::string joined(std::string_view base, std::string_view level)
{
    std::string topic(base);
    topic += '/';
    topic += level;
    return topic;
}

bool printable(std::string_view text)
{
    return std::ranges::none_of(text, [](char c) { return control::is_control_byte(c) || (c & 0x80); });
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\n' ||
                             text.front() == '\r'))
        text.remove_prefix(1);
    while (!text.empty() &&
           (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

Command bad(std::string_view topic, const std::string& what)
{
    Command command;
    command.error = std::string(topic) + ": " + what;
    return command;
}

// Where Home Assistant finds an entity's configuration.
std::string config_topic(std::string_view prefix, std::string_view component, const Device& device,
                         std::string_view object)
{
    return std::string(prefix) + '/' + std::string(component) + '/' + device.id + '/' + std::string(object) + "/config";
}

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QString capitalised(std::string_view name)
{
    QString text = qs(name);
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

// What every entity of the unit shares: its device, availability and id.
QJsonObject entity(const Device& device, std::string_view object, const QString& name)
{
    const QString id = QStringLiteral("plenvo_") + qs(device.id);
    return {
        {"name", name},
        {"unique_id", id + '_' + qs(object)},
        {"object_id", id + '_' + qs(object)},
        {"availability_topic", qs(availability_topic(device.base))},
        {"device",
         QJsonObject{
             {"identifiers", QJsonArray{id}},
             {"name", QStringLiteral("Plenvo ") + qs(device.id)},
             {"manufacturer", QStringLiteral("Plenvo")},
             {"model", QLatin1String(kCaption)},
             {"sw_version", qs(device.version) + QStringLiteral(" (") + QLatin1String(kVersion) + ')'},
         }},
    };
}

// The component and configuration of a setting: the power and the other
// on/off settings as switches, the words as selects, the levels as numbers.
std::pair<const char*, QJsonObject> setting_entity(const Device& device, const control::Setting& setting)
{
    QJsonObject config = entity(device, setting.name, capitalised(setting.name));
    config["state_topic"] = qs(state_topic(device.base, setting));
    config["command_topic"] = qs(set_topic(device.base, setting));
    if (control::is_number_setting(setting)) {
        config["min"] = protocol::kVideoMin;
        config["max"] = protocol::kVideoMax;
        config["step"] = 1;
        config["mode"] = QStringLiteral("slider");
        return {"number", config};
    }
    const bool on_off = setting.words.size() == 2 && std::string_view(setting.words[0].word) == "on";
    if (on_off) {
        config["payload_on"] = QStringLiteral("on");
        config["payload_off"] = QStringLiteral("off");
        if (setting.command.first != protocol::kPW.first || setting.command.second != protocol::kPW.second)
            config["entity_category"] = QStringLiteral("config");
        return {"switch", config};
    }
    QJsonArray options;
    for (const control::Word& word : setting.words)
        options.append(QLatin1String(word.word));
    config["options"] = options;
    return {"select", config};
}

QJsonObject line_entity(const Device& device)
{
    QJsonObject config = entity(device, "line", QStringLiteral("Line"));
    config["state_topic"] = qs(line_topic(device.base));
    config["value_template"] = QStringLiteral("{{ 'ON' if value_json.state == 'opened' else 'OFF' }}");
    config["json_attributes_topic"] = qs(line_topic(device.base));
    config["device_class"] = QStringLiteral("connectivity");
    config["entity_category"] = QStringLiteral("diagnostic");
    return config;
}

QJsonObject preset_entity(const Device& device, const std::string& preset)
{
    QJsonObject config = entity(device, "preset_" + unit_id_of(preset), QStringLiteral("Preset ") + qs(preset));
    config["command_topic"] = qs(preset_topic(device.base));
    config["payload_press"] = qs(preset);
    return config;
}

Message retained(std::string topic, const QJsonObject& config)
{
    return {std::move(topic), QJsonDocument(config).toJson(QJsonDocument::Compact).toStdString(), true};
}

}  // namespace

std::optional<BrokerAddress> parse_broker_url(std::string_view url, std::string& error)
{
    BrokerAddress address;
    std::string_view rest;
    if (url.starts_with("mqtt://")) {
        rest = url.substr(7);
    } else if (url.starts_with("mqtts://")) {
        rest = url.substr(8);
        address.tls = true;
        address.port = 8883;
    } else {
        error = "the address must start with mqtt:// or mqtts://";
        return std::nullopt;
    }
    if (rest.ends_with('/'))
        rest.remove_suffix(1);
    if (const size_t at = rest.rfind('@'); at != std::string_view::npos) {
        const std::string_view credentials = rest.substr(0, at);
        rest = rest.substr(at + 1);
        const size_t colon = credentials.find(':');
        address.user = credentials.substr(0, colon);
        if (colon != std::string_view::npos)
            address.password = std::string(credentials.substr(colon + 1));
        if (address.user.empty()) {
            error = "the user name before '@' is empty";
            return std::nullopt;
        }
    }
    std::string_view host = rest;
    const size_t bracket = rest.rfind(']');
    const size_t colon = rest.rfind(':');
    if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
        host = rest.substr(0, colon);
        const std::string_view digits = rest.substr(colon + 1);
        int port = 0;
        const auto [end, failure] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
        if (failure != std::errc() || end != digits.data() + digits.size() || port < 1 || port > 65535) {
            error = "the port must be a number from 1 to 65535, not " + control::quoted(digits);
            return std::nullopt;
        }
        address.port = port;
    }
    if (host.starts_with('[') && host.ends_with(']'))
        host = host.substr(1, host.size() - 2);
    if (host.empty() || host.find_first_of("/?# ") != std::string_view::npos) {
        error = "no broker host in " + control::quoted(url);
        return std::nullopt;
    }
    address.host = host;
    return address;
}

std::string unit_id_of(std::string_view device)
{
    std::string_view name = device;
    if (const size_t scheme = name.find("://"); scheme != std::string_view::npos)
        name = name.substr(scheme + 3);
    else if (const size_t slash = name.rfind('/'); slash != std::string_view::npos)
        name = name.substr(slash + 1);
    std::string id = lower(name);
    std::ranges::replace_if(id, [](char c) { return !is_id_char(c); }, '_');
    return id.empty() ? std::string("unit") : id;
}

std::string id_mistake(std::string_view id)
{
    if (id.empty())
        return "the id is empty";
    if (!std::ranges::all_of(id, is_id_char))
        return "the id " + control::quoted(id) + " may hold only letters, digits, '-' and '_'";
    return {};
}

std::string state_topic(std::string_view base, const control::Setting& setting)
{
    return joined(base, setting.name);
}

std::string set_topic(std::string_view base, const control::Setting& setting)
{
    return joined(base, setting.name) + "/set";
}

std::string availability_topic(std::string_view base)
{
    return joined(base, "availability");
}

std::string line_topic(std::string_view base)
{
    return joined(base, "line");
}

std::string error_topic(std::string_view base)
{
    return joined(base, "error");
}

std::string preset_topic(std::string_view base)
{
    return joined(base, "preset/set");
}

std::vector<std::string> command_filters(std::string_view base)
{
    // Two levels below the base: every setting's set topic, the preset's, and
    // mistakes such as a setting's name misspelt, which are told.
    return {joined(base, "+/set"), joined(base, "+/+/set")};
}

Command read_command(std::string_view base, std::string_view topic, std::string_view payload)
{
    if (!topic.starts_with(base) || topic.substr(base.size(), 1) != "/" || !topic.ends_with("/set"))
        return bad(topic, "unknown topic");
    const std::string_view name = topic.substr(base.size() + 1, topic.size() - base.size() - 1 - 4);
    if (payload.size() > kMaxPayload)
        return bad(topic, "a payload of " + std::to_string(payload.size()) + " bytes is too long");
    // A line end, as `echo` leaves one, is no part of the value.
    const std::string_view word = trimmed(payload);
    if (!printable(word))
        return bad(topic, "the payload is not plain text");
    if (name == "preset") {
        if (word.empty())
            return bad(topic, "no preset named");
        Command command;
        command.kind = Command::Kind::Preset;
        command.preset = word;
        return command;
    }
    if (name.find('/') != std::string_view::npos)
        return bad(topic, "unknown topic");
    std::string error;
    const std::optional<control::Assignment> assignment =
        control::parse_assignment(name, word.empty() ? std::nullopt : std::optional(word), error);
    if (!assignment)
        return bad(topic, error);
    Command command;
    command.kind = Command::Kind::Set;
    command.assignment = *assignment;
    return command;
}

std::vector<Message> discovery_messages(std::string_view prefix, const Device& device,
                                        const std::vector<std::string>& presets)
{
    std::vector<Message> messages;
    for (const control::Setting& setting : control::kSettings) {
        const auto [component, config] = setting_entity(device, setting);
        messages.push_back(retained(config_topic(prefix, component, device, setting.name), config));
    }
    messages.push_back(retained(config_topic(prefix, "binary_sensor", device, "line"), line_entity(device)));
    for (const std::string& preset : presets)
        messages.push_back(retained(config_topic(prefix, "button", device, "preset_" + unit_id_of(preset)),
                                    preset_entity(device, preset)));
    return messages;
}

std::vector<Message> forget_messages(std::string_view prefix, const Device& device,
                                     const std::vector<std::string>& presets)
{
    std::vector<Message> messages;
    if (!prefix.empty())
        for (Message& message : discovery_messages(prefix, device, presets))
            messages.push_back({std::move(message.topic), {}, true});
    for (const control::Setting& setting : control::kSettings)
        messages.push_back({state_topic(device.base, setting), {}, true});
    messages.push_back({line_topic(device.base), {}, true});
    messages.push_back({availability_topic(device.base), {}, true});
    return messages;
}

}  // namespace plenvo::mqtt
