#include "app/command_line.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "base/version.h"
#include "devices/port_devices.h"
#include "doors/mqtt_topics.h"
#include "lines/line_device.h"

namespace plenvo {

namespace {

// The panel's own options. Each is taken with one dash or two, its value
// after a blank or after '='.
struct Option {
    const char* name;
    const char* alias;       // a shorter name, or nullptr
    const char* value_name;  // nullptr for an option without a value
    const char* help;
    void (*apply)(CommandLine& options, const QString& value);
    // Why a value cannot be taken, or nullopt; nullptr takes every value.
    std::optional<QString> (*check)(const QString& value) = nullptr;
};

void end_with(CommandLine& options, QString output)
{
    options.exit_status = 0;
    options.output = std::move(output);
}

template <auto Member>
void take_address(CommandLine& options, const QString& text)
{
    QString error;
    options.*Member = parse_listen_address(text, error);
    if (!(options.*Member)) {
        options.exit_status = 2;
        options.output = QStringLiteral("--%1: %2 (try --help)")
                             .arg(QLatin1String(Member == &CommandLine::listen ? "listen" : "web"), error);
    }
}

std::optional<QString> broker_url_mistake(const QString& url)
{
    std::string error;
    if (mqtt::parse_broker_url(url.toStdString(), error))
        return std::nullopt;
    return QString::fromStdString(error);
}

std::optional<QString> topic_id_mistake(const QString& id)
{
    const std::string error = mqtt::id_mistake(id.toStdString());
    return error.empty() ? std::nullopt : std::optional(QString::fromStdString(error));
}

std::optional<QString> discovery_mistake(const QString& prefix)
{
    if (prefix.contains('+') || prefix.contains('#') || prefix.startsWith('/') || prefix.endsWith('/'))
        return QStringLiteral("the prefix must be a topic without wildcards, or \"off\"");
    return std::nullopt;
}

const Option kOptions[] = {
    {"com1", nullptr, "DEVICE", "device behind port 1, kept for later runs",
     [](CommandLine& o, const QString& device) { o.devices[1] = device; }, device_mistake},
    {"com2", nullptr, "DEVICE", "device behind port 2, kept for later runs",
     [](CommandLine& o, const QString& device) { o.devices[2] = device; }, device_mistake},
    {"listen", nullptr, "[HOST:]PORT", "also serve plenvo-ctl's commands on TCP (on 127.0.0.1 unless a HOST is given)",
     take_address<&CommandLine::listen>},
    {"mqtt", nullptr, "URL", "publish the unit on an MQTT broker: mqtt://[USER@]HOST[:PORT] or mqtts://...",
     [](CommandLine& o, const QString& url) { o.mqtt.url = url; }, broker_url_mistake},
    {"mqtt-id", nullptr, "ID", "the unit's topics are plenvo/ID/... (default: from the port's device)",
     [](CommandLine& o, const QString& id) { o.mqtt.id = id; }, topic_id_mistake},
    {"mqtt-password-file", nullptr, "FILE", "the broker password's file (or PLENVO_MQTT_PASSWORD)",
     [](CommandLine& o, const QString& file) { o.mqtt.password_file = file; }},
    {"mqtt-ca", nullptr, "FILE", "the CA certificates for mqtts:// (default: the system's)",
     [](CommandLine& o, const QString& file) { o.mqtt.ca_file = file; }},
    {"mqtt-discovery", nullptr, "PREFIX", "Home Assistant's discovery prefix (homeassistant), or off",
     [](CommandLine& o, const QString& prefix) { o.mqtt.discovery = prefix; }, discovery_mistake},
    {"mqtt-presets", nullptr, "DIR", "offer each preset file in DIR as a button",
     [](CommandLine& o, const QString& folder) { o.mqtt.presets_folder = folder; }},
    {"mqtt-forget", nullptr, nullptr, "remove the unit's retained messages from the broker and end",
     [](CommandLine& o, const QString&) { o.mqtt.forget = true; }},
    {"web", nullptr, "[HOST:]PORT", "serve the page for phones and browsers (on 127.0.0.1 unless a HOST is given)",
     take_address<&CommandLine::web>},
    {"trace", nullptr, nullptr, "one line on stderr per message, frame sent and reply received",
     [](CommandLine& o, const QString&) { o.trace = true; }},
    {"headless", nullptr, nullptr, "no windows and no display: serve plenvo-ctl and --listen only",
     [](CommandLine& o, const QString&) { o.headless = true; }},
    {"help", "h", nullptr, "this text", [](CommandLine& o, const QString&) { end_with(o, usage_text()); }},
    {"version", nullptr, nullptr, "the program's name and version",
     [](CommandLine& o, const QString&) { end_with(o, version_text()); }},
};

// Qt's own options, which QApplication takes out of the arguments itself;
// they are only checked here, so that a mistake is told before Qt starts.
struct QtOption {
    const char* name;
    bool takes_value;
    bool takes_joined_value;  // also as -name=VALUE
};

constexpr QtOption kQtOptions[] = {
    {"platform", true, false},      {"platformpluginpath", true, false}, {"platformtheme", true, false},
    {"plugin", true, false},        {"qwindowgeometry", true, false},    {"geometry", true, false},
    {"qwindowtitle", true, false},  {"title", true, false},              {"qwindowicon", true, false},
    {"icon", true, false},          {"reverse", false, false},           {"session", true, false},
    {"testability", false, false},  {"style", true, true},               {"stylesheet", true, true},
    {"widgetcount", false, false},  {"qmljsdebugger", true, true},       {"display", true, false},
    {"name", true, false},          {"visual", true, false},             {"nograb", false, false},
    {"dograb", false, false},
};

CommandLine fail(const QString& message)
{
    CommandLine result;
    result.exit_status = 2;
    result.output = message + QStringLiteral(" (try --help)");
    return result;
}

template <typename Table>
auto find_option(const Table& table, const QString& name)
{
    return std::find_if(std::begin(table), std::end(table), [&](const auto& option) {
        if (name == QLatin1String(option.name))
            return true;
        if constexpr (requires { option.alias; })
            return option.alias && name == QLatin1String(option.alias);
        return false;
    });
}

// One argument split into what was typed before '=' (dashes included), the
// name without its dashes and the value after '=', if any.
struct Argument {
    QString typed;
    QString name;
    std::optional<QString> joined_value;
};

Argument split(const QString& arg)
{
    Argument result;
    const qsizetype equals = arg.indexOf('=');
    result.typed = equals < 0 ? arg : arg.left(equals);
    if (equals >= 0)
        result.joined_value = arg.mid(equals + 1);
    result.name = result.typed.mid(result.typed.startsWith(QLatin1String("--")) ? 2 : 1);
    return result;
}

// Applies one of the panel's own options, with its value after '=' or in
// the next argument (then `i` moves past it). Returns the mistake, if any.
QString take_own(const Option& own, const Argument& arg, const QStringList& arguments, qsizetype& i,
                 CommandLine& result)
{
    QString value;
    if (!own.value_name) {
        if (arg.joined_value)
            return arg.typed + QStringLiteral(" takes no value");
    } else if (arg.joined_value) {
        value = *arg.joined_value;
    } else if (i + 1 < arguments.size() && !arguments[i + 1].startsWith('-')) {
        value = arguments[++i];
    }
    if (own.value_name && value.isEmpty())
        return arg.typed + QStringLiteral(" needs a ") + QString::fromLatin1(own.value_name).toLower();
    if (const std::optional<QString> mistake = own.check ? own.check(value) : std::nullopt)
        return arg.typed + QStringLiteral(": ") + *mistake;
    own.apply(result, value);
    return {};
}

// Checks one of Qt's options the way Qt reads it, and steps over its value.
QString pass_to_qt(const QtOption& qt, const Argument& arg, const QStringList& arguments, qsizetype& i)
{
    if (arg.joined_value && !qt.takes_joined_value)
        return arg.typed + (qt.takes_value ? QStringLiteral(" takes its value after a blank")
                                           : QStringLiteral(" takes no value"));
    if (qt.takes_value && !arg.joined_value && ++i >= arguments.size())
        return arg.typed + QStringLiteral(" needs a value");
    return {};
}

}  // namespace

QString usage_text()
{
    QString text = QStringLiteral(
        "Usage: plenvo [OPTION]...\n"
        "Control panel of the Plenvo video scaler.\n"
        "\n");
    for (const Option& option : kOptions) {
        QString names = QStringLiteral("--") + QLatin1String(option.name);
        if (option.alias)
            names = QStringLiteral("-") + QLatin1String(option.alias) + QStringLiteral(", ") + names;
        if (option.value_name)
            names += ' ' + QLatin1String(option.value_name);
        text += QStringLiteral("  %1  %2\n").arg(names, -14).arg(QLatin1String(option.help));
    }
    text += QStringLiteral(
        "\n"
        "A DEVICE is a path (/dev/serial/by-id/..., /dev/ttyUSB0), socket://HOST:PORT\n"
        "or rfc2217://HOST:PORT. Until one is chosen, port 1 is the first USB serial\n"
        "adapter found and port 2 the second, then the built-in ports /dev/ttyS0 and\n"
        "/dev/ttyS1. The devices are kept in plenvo-devices.ini beside the settings\n"
        "file; a press on the panel's logo or Ctrl+P chooses them.\n"
        "\n"
        "The --mqtt options may also be kept in plenvo-mqtt.conf beside the devices\n"
        "file, one a line without its dashes (mqtt=mqtt://broker.lan); the command\n"
        "line wins. A password in the URL shows in ps: keep it in a file or in\n"
        "PLENVO_MQTT_PASSWORD instead.\n"
        "\n"
        "Away from 127.0.0.1, --listen and --web ask for the access token that\n"
        "plenvo-ctl web-url shows.\n"
        "\n"
        "Options take one dash or two, and a value after a blank or '='.\n"
        "Options of Qt itself (-platform, -display, -style, ...) are passed on to Qt.\n");
    return text;
}

QStringList remember_devices(const CommandLine& options, PortDevices& devices)
{
    QStringList failures;
    for (const auto& [port, device] : options.devices) {
        // Kept already: the file stays as it is, comments and all, and a
        // service started with the same --comN at every boot writes nothing.
        if (devices.chosen(port) == device)
            continue;
        if (const std::optional<QString> failure = devices.choose(port, device))
            failures << *failure;
    }
    return failures;
}

QString version_text()
{
    return QStringLiteral("plenvo %1 (%2)\n").arg(QLatin1String(PLENVO_VERSION), QLatin1String(kVersion));
}

CommandLine parse_command_line(const QStringList& arguments)
{
    CommandLine result;
    for (qsizetype i = 1; i < arguments.size() && !result.exit_status; ++i) {
        if (!arguments[i].startsWith('-') || arguments[i] == QLatin1String("-"))
            return fail(QStringLiteral("unexpected argument: ") + arguments[i]);
        const Argument arg = split(arguments[i]);
        QString mistake;
        if (const auto own = find_option(kOptions, arg.name); own != std::end(kOptions))
            mistake = take_own(*own, arg, arguments, i, result);
        else if (const auto qt = find_option(kQtOptions, arg.name); qt != std::end(kQtOptions))
            mistake = pass_to_qt(*qt, arg, arguments, i);
        else
            mistake = QStringLiteral("unknown option: ") + arguments[i];
        if (!mistake.isEmpty())
            return fail(mistake);
    }
    return result;
}

std::optional<ListenAddress> parse_listen_address(const QString& text, QString& error)
{
    const qsizetype colon = text.lastIndexOf(':');
    QString host = colon < 0 ? QStringLiteral("127.0.0.1") : text.left(colon);
    if (host.startsWith('[') && host.endsWith(']'))
        host = host.mid(1, host.size() - 2);
    bool number = false;
    const uint port = text.mid(colon + 1).toUInt(&number);
    if (!number || port == 0 || port > 65535) {
        error = QStringLiteral("the port must be a number from 1 to 65535, not \"%1\"").arg(text.mid(colon + 1));
        return std::nullopt;
    }
    if (host == QLatin1String("localhost"))
        host = QStringLiteral("127.0.0.1");
    if (!is_ip_address(host)) {
        error = QStringLiteral("the host must be an IP address (0.0.0.0 for every interface), not \"%1\"").arg(host);
        return std::nullopt;
    }
    return ListenAddress{host, quint16(port)};
}

void say(const QString& text)
{
    std::fprintf(stderr, "plenvo: %s\n", qPrintable(text));
}

}  // namespace plenvo
