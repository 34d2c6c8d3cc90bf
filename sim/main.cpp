// plenvo-sim: a simulated Plenvo unit, for working with the panel without
// the hardware. It serves a pseudo-terminal (or a real serial port, or a
// TCP port) that the panel opens like the unit's port, and takes
// front-panel commands on standard input.

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>

#include "sim/console.h"
#include "sim/device_link.h"
#include "sim/pty_line.h"
#include "sim/serial_line.h"
#include "sim/simulator.h"
#include "sim/stop_signals.h"
#include "sim/tcp_line.h"

namespace {

using namespace plenvo::sim;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct Options {
    std::string link;
    std::string device;
    std::string tcp;
    std::string log;
    Faults faults;
};

constexpr const char* kDescription =
    "A simulated Plenvo unit. It answers the panel on a pseudo-terminal, whose name it\n"
    "prints first, on a real serial port at 9600 8N1, or on a TCP port, whose device\n"
    "string for the panel (socket://HOST:PORT) it prints first. On a TCP port it serves\n"
    "one panel at a time: a panel that connects cuts off the one before.\n"
    "\n"
    "Front panel, one command a line on standard input:\n"
    "  send XY N       report letters XY with value N, as the unit does on its own;\n"
    "                  XY is one of PW IN OU BY DI AS IR FP TD NR OS BL FR BR CO SA SH\n"
    "                  TI VO (its settings) or OK (asks to be asked for its state)\n"
    "  byte N          put one raw byte on the line\n"
    "  mute on|off     stop or resume answering\n"
    "  state           print the unit's settings\n"
    "  flood SECONDS   random reports at the full line rate, then 'flood done N'\n"
    "  quit            end (so do the end of input, SIGINT and SIGTERM)";

[[noreturn]] void usage_error(const QString& message)
{
    std::cerr << "plenvo-sim: " << message.toStdString() << std::endl;
    std::exit(kExitUsage);
}

int number_option(const QCommandLineParser& parser, const QCommandLineOption& option, int lowest)
{
    bool ok = false;
    const int value = parser.value(option).toInt(&ok);
    if (!ok || value < lowest)
        usage_error(QString("--%1 needs a whole number of at least %2")
                        .arg(option.names().constFirst())
                        .arg(lowest));
    return value;
}

// Exits on --help and on any mistake in the command line.
Options parse_options(const QCoreApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(kDescription);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption link("link", "Also make PATH a symbolic link to the device.", "PATH");
    const QCommandLineOption device("device", "Serve the real serial port PATH instead of a pseudo-terminal.", "PATH");
    const QCommandLineOption tcp("tcp",
                                 "Serve the unit on TCP port HOST:PORT (an IP address or localhost; "
                                 "port 0: any free one) instead of a pseudo-terminal.",
                                 "HOST:PORT");
    const QCommandLineOption log("log", "Log every frame on the line to FILE.", "FILE");
    const QCommandLineOption mute("mute", "Never answer the panel.");
    const QCommandLineOption delay("delay", "Answer MS milliseconds late.", "MS");
    const QCommandLineOption drop("drop", "Lose every Nth answer.", "N");
    parser.addOptions({link, device, tcp, log, mute, delay, drop});

    if (!parser.parse(app.arguments()))
        usage_error(parser.errorText());
    if (parser.isSet(help))
        parser.showHelp(0);
    if (parser.isSet(version))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty())
        usage_error("unexpected argument " + parser.positionalArguments().constFirst());
    if (parser.isSet(tcp) && (parser.isSet(device) || parser.isSet(link)))
        usage_error("--tcp serves the unit on the network; it takes neither --device nor --link");

    Options options;
    options.link = parser.value(link).toStdString();
    options.device = parser.value(device).toStdString();
    options.tcp = parser.value(tcp).toStdString();
    options.log = parser.value(log).toStdString();
    options.faults.mute = parser.isSet(mute);
    if (parser.isSet(delay))
        options.faults.delay = std::chrono::milliseconds(number_option(parser, delay, 0));
    if (parser.isSet(drop))
        options.faults.drop_every = number_option(parser, drop, 1);
    return options;
}

std::unique_ptr<Line> open_line(const Options& options, std::string& error)
{
    if (!options.tcp.empty())
        return TcpLine::open(options.tcp, error);
    if (!options.device.empty())
        return SerialLine::open(options.device, error);
    return PtyLine::open(error);
}

int fail(const std::string& error)
{
    std::cerr << "plenvo-sim: " << error << std::endl;
    return kExitFailure;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("plenvo-sim");
    QCoreApplication::setApplicationVersion(PLENVO_SIM_VERSION);
    const Options options = parse_options(app);

    // A reader of our output that went away must not end the unit.
    std::signal(SIGPIPE, SIG_IGN);

    std::string error;
    const auto stop_signals = StopSignals::install([] { QCoreApplication::quit(); }, error);
    if (!stop_signals)
        return fail(error);

    FrameLog log;
    if (!options.log.empty() && !log.open(options.log))
        return fail(options.log + ": cannot be written");

    const std::unique_ptr<Line> line = open_line(options, error);
    if (!line)
        return fail(error);

    std::unique_ptr<DeviceLink> link;
    if (!options.link.empty() && !(link = DeviceLink::make(options.link, line->device(), error)))
        return fail(error);

    Simulator simulator(*line, log, options.faults);
    const Console console(
        [&simulator](const std::string& text) {
            const std::optional<PanelCommand> command = parse_panel_line(text);
            if (!command) {
                const std::string mistake = panel_line_mistake(text);
                std::cerr << '?' << text << (mistake.empty() ? "" : ": " + mistake) << std::endl;
                return true;
            }
            if (simulator.obey(*command))
                return true;
            QCoreApplication::quit();
            return false;
        },
        [] { QCoreApplication::quit(); });

    std::cout << "plenvo-sim: unit on " << line->device() << std::endl;
    return QCoreApplication::exec();
}
