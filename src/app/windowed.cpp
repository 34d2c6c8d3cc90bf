#include "app/windowed.h"

#include <QApplication>
#include <QTimer>

#include <utility>

#include "app/broker.h"
#include "app/command_line.h"
#include "app/doors.h"
#include "app/stop_signals.h"
#include "base/trace.h"
#include "devices/port_devices.h"
#include "devices/settings_file.h"
#include "devices/single_instance.h"
#include "doors/broker_door.h"
#include "lines/qt_serial_control.h"
#include "unit/unit_model.h"
#include "windows/desktop_platform.h"
#include "windows/frm_main.h"
#include "windows/port_menu.h"

namespace plenvo {

namespace {

// Still starting, the panel comes forward when it shows; closing, it stays
// away.
void raise_panel(FrmMain& frm)
{
    if (frm.is_unloaded() || !frm.isVisible())
        return;
    frm.showNormal();
    frm.raise();
    frm.activateWindow();
}

// Should the window not be painted, the doors open all the same.
constexpr int kDoorsLatestMs = 2000;

}  // namespace

int plenvo_run_windowed(int& argc, char** argv, const CommandLine& options)
{
    // Qt cannot place windows on Wayland; docking and dragging need X.
    if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && qEnvironmentVariableIsSet("DISPLAY") &&
        !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("plenvo"));
    QApplication::setQuitOnLastWindowClosed(false);

    if (options.trace)
        trace::enable();

    const QString program_dir = QApplication::applicationDirPath();
    SingleInstance instance(program_dir);
    const bool another_copy_running = !instance.acquire();
    // The copy already running comes forward instead, taking this start's
    // options; this one ends, with status 1 when it could not take them.
    if (another_copy_running) {
        const QStringList failures = hand_over(options, control_socket_path(program_dir), true);
        for (const QString& failure : failures)
            say(failure);
        if (!failures.isEmpty())
            return 1;
    }

    // A second copy changes nothing, not even the devices.
    PortDevices devices = PortDevices::for_program(program_dir);
    if (!another_copy_running) {
        if (!devices.problem().isEmpty())
            qWarning("plenvo: %s", qPrintable(devices.problem()));
        for (const QString& failure : remember_devices(options, devices))
            qWarning("plenvo: %s", qPrintable(failure));
    }

    DesktopPlatform platform;
    QtSerialControl serial([&devices](int port) { return devices.device(port); }, network_lines());
    UnitModel model(platform, serial);
    FrmMain frm(platform, model, SettingsFile::for_program(program_dir));
    QObject::connect(&frm, &FrmMain::unloaded, &app, &QCoreApplication::quit);
    // Closed like a close request from the desktop: the port is closed, the
    // settings are saved and the single-copy lock is given back on the way
    // out.
    on_stop_signals(frm, [&frm] { frm.close(); });
    PortMenu port_menu(frm, devices);
    ServeWhenStateIsIn serving(platform, model);

    // The doors open once the window has been painted (a second start
    // meanwhile waits for them), or at the latest kDoorsLatestMs after the
    // start-up, should the window never be painted. A door that cannot be
    // opened is told on stderr and in the message line; the panel runs
    // without it.
    bool doors_opened = false;
    std::unique_ptr<Doors> doors;
    std::unique_ptr<BrokerDoor> broker;
    const auto tell = [&model](const QString& text) {
        say(text);
        emit model.message(text);
    };
    const auto open_all_doors = [&] {
        if (std::exchange(doors_opened, true))
            return;
        QStringList errors;
        // A device handed over is kept as --comN keeps it; the port in use
        // is opened again on it, as the port menu does.
        doors = open_doors(model, options, program_dir,
                           {[&](int port, const QString& device) {
                                const std::optional<QString> failure = devices.choose(port, device);
                                if (model.port() == port)
                                    port_menu.choose(port, device);
                                return failure;
                            },
                            tell},
                           errors);
        if (doors) {
            QObject::connect(doors.get(), &Doors::raise_requested, &frm, [&frm] { raise_panel(frm); });
            if (options.web)
                port_menu.set_phone_link([&doors] { return doors->phone_link(); });
            serving.serve_on(*doors);
        }
        QString error;
        broker = make_broker_door(model, options, devices,
                                  SettingsFile::for_program(program_dir).read().com_port.value_or(1), error);
        if (!error.isEmpty())
            errors << error;
        for (const QString& text : errors)
            tell(text);
        // The broker's refusal shows on the message line as well: the user
        // is the one to mend the password or the certificate.
        if (broker) {
            QObject::connect(broker.get(), &BrokerDoor::logged, &app, say);
            QObject::connect(broker.get(), &BrokerDoor::refused, &frm, &FrmMain::set_message);
            broker->start();
        }
    };
    QObject::connect(&frm, &FrmMain::first_painted, &frm, open_all_doors);
    frm.Form_Load(another_copy_running);
    if (frm.is_unloaded())
        return 0;
    QTimer::singleShot(kDoorsLatestMs, &frm, open_all_doors);
    serving.start(model.port_ok());
    return QApplication::exec();
}

}  // namespace plenvo
