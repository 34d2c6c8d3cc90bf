#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

#include "app/command_line.h"
#include "doors/control_server.h"
#include "windows/frm_main.h"
#include "windows/port_menu.h"
#include "devices/single_instance.h"
#include "devices/port_devices.h"
#include "base/qt_platform.h"
#include "base/trace.h"
#include "lines/qt_serial_control.h"
#include "control/panel_client.h"

namespace {

// How long the start-up gives the unit to report its state.
constexpr int kStateInMs = 1000;

int signal_pipe[2] = {-1, -1};

void on_signal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signal_pipe[1], &byte, 1);
}

// SIGTERM, SIGINT and SIGHUP (the terminal closed) close the main window
// like a close request from the desktop: the port is closed, the settings
// are saved and the single-copy lock is given back on the way out.
void close_on_signals(plenvo::FrmMain& frm)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signal_pipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signal_pipe[0], QSocketNotifier::Read, &frm);
    QObject::connect(notifier, &QSocketNotifier::activated, &frm, [&frm] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(signal_pipe[0], &byte, 1);
        frm.close();
    });
    struct sigaction action = {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : {SIGTERM, SIGINT, SIGHUP})
        sigaction(number, &action, nullptr);
}

int print_and_exit(const plenvo::CommandLine& options)
{
    const QByteArray text = options.output.toLocal8Bit();
    std::FILE* stream = *options.exit_status == 0 ? stdout : stderr;
    std::fputs(text.constData(), stream);
    if (!text.endsWith('\n'))
        std::fputc('\n', stream);
    return *options.exit_status;
}

// Serves plenvo-ctl on the user's socket and, with --listen, control
// systems on TCP. A door that cannot be opened is told on stderr; the panel
// runs without it.
void open_doors(plenvo::ControlServer& server, const plenvo::CommandLine& options, const QString& program_dir)
{
    QStringList errors{server.listen_local(plenvo::control_socket_path(program_dir))};
    if (options.listen)
        errors << server.listen_tcp(options.listen->first, options.listen->second);
    for (const QString& error : errors)
        if (!error.isEmpty())
            std::fprintf(stderr, "plenvo: cannot listen on %s\n", qPrintable(error));
}

QStringList raw_arguments(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

}  // namespace

int main(int argc, char** argv)
{
    // Answer --help, --version and mistakes without needing a display.
    const plenvo::CommandLine options = plenvo::parse_command_line(raw_arguments(argc, argv));
    if (options.exit_status)
        return print_and_exit(options);

    // Qt cannot place windows on Wayland; docking and dragging need X.
    if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && qEnvironmentVariableIsSet("DISPLAY") &&
        !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("plenvo"));
    QApplication::setQuitOnLastWindowClosed(false);

    if (options.trace)
        plenvo::trace::enable();

    const QString program_dir = QApplication::applicationDirPath();
    plenvo::SingleInstance instance(program_dir);
    const bool another_copy_running = !instance.acquire();
    // The copy already running comes forward instead; this one ends.
    if (another_copy_running)
        plenvo::PanelClient::raise(plenvo::control_socket_path(program_dir));

    // A second copy changes nothing, not even the devices.
    plenvo::PortDevices devices = plenvo::PortDevices::for_program(program_dir);
    if (!another_copy_running) {
        if (!devices.problem().isEmpty())
            qWarning("plenvo: %s", qPrintable(devices.problem()));
        for (const QString& failure : plenvo::remember_devices(options, devices))
            qWarning("plenvo: %s", qPrintable(failure));
    }

    plenvo::QtPlatform platform;
    plenvo::QtSerialControl serial([&devices](int port) { return devices.device(port); });
    plenvo::UnitModel model(platform, serial);
    plenvo::FrmMain frm(platform, model, plenvo::SettingsFile::for_program(program_dir));
    QObject::connect(&frm, &plenvo::FrmMain::unloaded, &app, &QCoreApplication::quit);
    close_on_signals(frm);
    plenvo::PortMenu port_menu(frm, devices);

    // Open before the start-up asks the unit for its state, so that a second
    // start meanwhile finds this copy; carried out once the state is in,
    // which takes the unit well under a second.
    plenvo::ControlServer server(frm, platform);
    if (!another_copy_running)
        open_doors(server, options, program_dir);
    frm.Form_Load(another_copy_running);
    if (frm.is_unloaded())
        return 0;
    QTimer::singleShot(kStateInMs, &server, &plenvo::ControlServer::start_serving);
    return QApplication::exec();
}
