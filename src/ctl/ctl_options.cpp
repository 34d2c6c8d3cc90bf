#include "ctl/ctl_options.h"

#include <algorithm>
#include <iterator>

#include "base/version.h"
#include "control/text.h"
#include "devices/port_devices.h"

namespace plenvo::ctl {

namespace {

struct CommandInfo {
    const char* name;
    Command command;
    const char* usage;
};

constexpr CommandInfo kCommands[] = {
    {"status", Command::Status, "status [--json | json]"},
    {"set", Command::Set, "set NAME VALUE [NAME VALUE ...]"},
    {"watch", Command::Watch, "watch [--json | json]"},
    {"ports", Command::Ports, "ports"},
    {"save", Command::Save, "save FILE"},
    {"load", Command::Load, "load FILE"},
    {"web-url", Command::WebUrl, "web-url [--new]"},
};

constexpr int kHighestPort = 2;

Options fail(const QString& message)
{
    Options result;
    result.exit_status = 2;
    result.output = QStringLiteral("plenvo-ctl: ") + message;
    return result;
}

Options end_with(QString output)
{
    Options result;
    result.exit_status = 0;
    result.output = std::move(output);
    return result;
}

QString commands_list()
{
    return QString::fromStdString(control::joined(kCommands, ", ", [](const CommandInfo& c) { return c.usage; }));
}

// The value of an option: after '=' or in the next argument.
std::optional<QString> option_value(const QString& arg, const QStringList& arguments, qsizetype& i)
{
    const qsizetype equals = arg.indexOf('=');
    if (equals >= 0)
        return arg.mid(equals + 1);
    if (i + 1 < arguments.size())
        return arguments[++i];
    return std::nullopt;
}

// The command's own arguments, once the command is known.
QString take_operands(Options& result, const CommandInfo& command, const QStringList& operands)
{
    switch (command.command) {
    case Command::Set:
        if (operands.isEmpty())
            return QStringLiteral("set needs a name and a value (settings: %1)")
                .arg(QString::fromStdString(control::valid_names()));
        for (qsizetype i = 0; i < operands.size(); i += 2) {
            const std::string name = operands[i].toStdString();
            const std::optional<std::string> word =
                i + 1 < operands.size() ? std::optional(operands[i + 1].toStdString()) : std::nullopt;
            std::string error;
            const std::optional<control::Assignment> assignment = control::parse_assignment(name, word, error);
            if (!assignment)
                return QString::fromStdString(error);
            result.settings.push_back(*assignment);
        }
        return {};
    case Command::Save:
    case Command::Load:
        if (operands.size() != 1 || operands[0].isEmpty())
            break;
        result.file = operands[0];
        return {};
    case Command::Status:
    case Command::Watch:
        // The word the panel's doors take: "status json" is "status --json".
        if (operands.size() == 1 && control::same_word("json", operands[0].toStdString())) {
            result.json = true;
            return {};
        }
        [[fallthrough]];
    case Command::Ports:
    case Command::WebUrl:
        if (operands.isEmpty())
            return {};
        break;
    }
    return QStringLiteral("usage: plenvo-ctl [OPTION]... ") + QLatin1String(command.usage);
}

}  // namespace

QString usage_text()
{
    QString settings;
    for (const control::Setting& setting : control::kSettings)
        settings += QStringLiteral("  %1  %2\n").arg(QLatin1String(setting.name), -9)
                        .arg(QString::fromStdString(control::valid_values(setting)));
    return QStringLiteral(
               "Usage: plenvo-ctl [OPTION]... COMMAND [ARGUMENT]...\n"
               "Drives the Plenvo video scaler: through the running panel when there is one,\n"
               "else on the serial line of port 1.\n"
               "\n"
               "Commands:\n"
               "  status [--json | json]           every setting with its value\n"
               "  set NAME VALUE [NAME VALUE ...]  sends the settings in the order given\n"
               "  watch [--json | json]            one line per report of the unit, until interrupted\n"
               "  ports                            the serial devices found, the device of each port\n"
               "  save FILE                        every setting into a preset file\n"
               "  load FILE                        sends the settings of a preset that differ\n"
               "  web-url [--new]                  the link to the running panel's page (--web), with\n"
               "                                   its access token, and as a QR code on a terminal;\n"
               "                                   --new makes a new token, shutting out the old one\n"
               "\n"
               "Options:\n"
               "  --port DEVICE  the line on this device or URL, not through the panel\n"
               "  --com N        the line of configured port N (1 or 2), not through the panel\n"
               "  --json         status and watch as JSON\n"
               "  --help         this text\n"
               "  --version      the version\n"
               "\n"
               "Settings and their values:\n"
               "%1"
               "\n"
               "Exit status: 0 when the unit answered every command, 1 when it did not (or the\n"
               "line or panel could not be reached), 2 for a bad name, value, option or file.\n")
        .arg(settings);
}

Options parse_arguments(const QStringList& arguments)
{
    Options result;
    std::optional<QString> command_name;
    QStringList operands;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        const QString name = arg.section('=', 0, 0);
        if (name == QLatin1String("--help") || name == QLatin1String("-h"))
            return end_with(usage_text());
        if (name == QLatin1String("--version"))
            return end_with(QStringLiteral("plenvo-ctl %1 (%2)\n").arg(QLatin1String(PLENVO_VERSION), QLatin1String(kVersion)));
        if (name == QLatin1String("--json")) {
            result.json = true;
        } else if (name == QLatin1String("--new")) {
            result.new_token = true;
        } else if (name == QLatin1String("--port")) {
            result.port = option_value(arg, arguments, i);
            if (!result.port || result.port->isEmpty())
                return fail(QStringLiteral("--port needs a device or URL"));
            if (const std::optional<QString> mistake = device_mistake(*result.port))
                return fail(QStringLiteral("--port: ") + *mistake);
        } else if (name == QLatin1String("--com")) {
            const std::optional<QString> value = option_value(arg, arguments, i);
            bool number = false;
            result.com = value ? value->toInt(&number) : 0;
            if (!number || *result.com < 1 || *result.com > kHighestPort)
                return fail(QStringLiteral("--com needs a port number from 1 to %1").arg(kHighestPort));
        } else if (arg.startsWith(QLatin1String("--"))) {
            return fail(QStringLiteral("unknown option %1 (options: --port, --com, --json, --new, --help, --version)")
                            .arg(arg));
        } else if (!command_name) {
            command_name = arg;
        } else {
            operands << arg;
        }
    }
    if (!command_name)
        return fail(QStringLiteral("no command (commands: %1)").arg(commands_list()));
    const auto command = std::find_if(std::begin(kCommands), std::end(kCommands), [&](const CommandInfo& c) {
        return control::same_word(c.name, command_name->toStdString());
    });
    if (command == std::end(kCommands))
        return fail(QStringLiteral("unknown command \"%1\" (commands: %2)").arg(*command_name, commands_list()));
    if (result.port && result.com)
        return fail(QStringLiteral("--port and --com each choose the line; give one"));
    if (result.json && command->command != Command::Status && command->command != Command::Watch)
        return fail(QStringLiteral("--json goes with status and watch"));
    if (result.new_token && command->command != Command::WebUrl)
        return fail(QStringLiteral("--new goes with web-url"));
    result.command = command->command;
    if (const QString mistake = take_operands(result, *command, operands); !mistake.isEmpty())
        return fail(mistake);
    return result;
}

}  // namespace plenvo::ctl
