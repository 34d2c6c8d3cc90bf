#include "app/windowed.h"

#include <QApplication>


#include "app/broker.h"
#include "app/command_line.h"
#include "app/doors.h"
#include "app/handover.h"
#include "app/stop_signals.h"
#include "base/trace.h"
#include "control/panel_client.h"
#include "devices/access_token.h"
#include "devices/port_devices.h"
#include "devices/settings_file.h"
#include "devices/single_instance.h"
#include "doors/control_server.h"
#include "doors/broker_door.h"
#include "doors/door_keys.h"
#include "doors/page_door.h"
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
        const QString socket = control_socket_path(program_dir);
        const QStringList failures = has_handover(options) ? hand_over(options, socket) : QStringList();
        for (const QString& failure : failures)
            say(failure);
        PanelClient::raise(socket);
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
    QtSerialControl serial([&devices](int port) { return devices.device(port); });
    UnitModel model(platform, serial);
    FrmMain frm(platform, model, SettingsFile::for_program(program_dir));
    QObject::connect(&frm, &FrmMain::unloaded, &app, &QCoreApplication::quit);
    // Closed like a close request from the desktop: the port is closed, the
    // settings are saved and the single-copy lock is given back on the way
    // out.
    on_stop_signals(frm, [&frm] { frm.close(); });
    PortMenu port_menu(frm, devices);

    // Open before the start-up's wait for the unit, so that a second start
    // meanwhile finds this copy; carried out once the state is in. A door
    // that cannot be opened is told on stderr and in the message line; the
    // panel runs without it.
    ControlServer server(model);
    DoorKeys keys(AccessToken::for_program(program_dir));
    QObject::connect(&server, &ControlServer::raise_requested, &frm, [&frm] { raise_panel(frm); });
    const auto tell = [&model](const QString& text) {
        say(text);
        emit model.message(text);
    };
    // A device handed over is kept as --comN keeps it; the port in use is
    // opened again on it, as the port menu does.
    take_handovers(server, keys,
                   {[&](int port, const QString& device) {
                        const std::optional<QString> failure = devices.choose(port, device);
                        if (model.port() == port)
                            port_menu.choose(port, device);
                        return failure;
                    },
                    tell});
    QStringList door_errors;
    std::unique_ptr<PageDoor> web;
    std::unique_ptr<BrokerDoor> broker;
    if (!another_copy_running) {
        QString error;
        web = make_page_door(model, keys, options, error);
        if (!error.isEmpty())
            door_errors << error;
        for (const QString& failure : open_doors(server, options, program_dir, keys, web.get()))
            door_errors << QStringLiteral("cannot listen on ") + failure;
        error.clear();
        broker = make_broker_door(model, options, devices,
                                  SettingsFile::for_program(program_dir).read().com_port.value_or(1), error);
        if (!error.isEmpty())
            door_errors << error;
    }
    // The broker's refusal shows on the message line as well: the user is
    // the one to mend the password or the certificate.
    if (broker) {
        QObject::connect(broker.get(), &BrokerDoor::logged, &app, say);
        QObject::connect(broker.get(), &BrokerDoor::refused, &frm, &FrmMain::set_message);
    }
    if (web)
        port_menu.set_phone_link([page = web.get()] { return page->link(); });
    ServeWhenStateIsIn serving(platform, model, server);
    frm.Form_Load(another_copy_running);
    if (frm.is_unloaded())
        return 0;
    // Once the window shows, so that the start-up's own messages do not
    // hide it.
    for (const QString& error : door_errors)
        tell(error);
    serving.start(model.port_ok());
    if (broker)
        broker->start();
    return QApplication::exec();
}

}  // namespace plenvo
