#include "app/command_line.h"

#include "app/frm_main.h"

namespace plenvo {

namespace {

struct PortOption {
    const char* name;
    int port;
};

constexpr PortOption kPortOptions[] = {{"--com1", 1}, {"--com2", 2}};

CommandLine fail(const QString& message)
{
    CommandLine result;
    result.exit_status = 2;
    result.output = message + QStringLiteral(" (try --help)");
    return result;
}

}  // namespace

QString usage_text()
{
    return QStringLiteral(
        "Usage: plenvo [--com1 DEVICE] [--com2 DEVICE] [--trace]\n"
        "Control panel of the Plenvo video scaler.\n"
        "\n"
        "  --com1 DEVICE  serial device behind port 1 (default %1)\n"
        "  --com2 DEVICE  serial device behind port 2 (default %2)\n"
        "  --trace        one line on stderr per message, frame sent and reply received\n"
        "  --help         this text\n"
        "  --version      the version\n")
        .arg(device_for_port({}, 1), device_for_port({}, 2));
}

CommandLine parse_command_line(const QStringList& arguments)
{
    CommandLine result;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--help")) {
            result.exit_status = 0;
            result.output = usage_text();
            return result;
        }
        if (arg == QLatin1String("--version")) {
            result.exit_status = 0;
            result.output = QString::fromLatin1(kVersion) + '\n';
            return result;
        }
        if (arg == QLatin1String("--trace")) {
            result.trace = true;
            continue;
        }
        const auto port = std::find_if(std::begin(kPortOptions), std::end(kPortOptions),
                                       [&](const PortOption& o) { return arg == QLatin1String(o.name); });
        if (port != std::end(kPortOptions)) {
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
                return fail(arg + QStringLiteral(" needs a device"));
            result.devices[port->port] = arguments[++i];
            continue;
        }
        if (arg.startsWith(QLatin1String("--")) || !arg.startsWith('-'))
            return fail(QStringLiteral("unknown option: ") + arg);
        // A Qt option, with its value if it takes one.
        if (i + 1 < arguments.size() && !arguments[i + 1].startsWith('-'))
            ++i;
    }
    return result;
}

QString device_for_port(const CommandLine& options, int port)
{
    if (auto it = options.devices.find(port); it != options.devices.end())
        return it->second;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}

}  // namespace plenvo
