#include "app/headless.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <bitset>
#include <memory>

#include "app/broker.h"
#include "app/command_line.h"
#include "app/doors.h"
#include "app/stop_signals.h"
#include "base/platform.h"
#include "base/qt_platform.h"
#include "base/trace.h"
#include "control/setting_table.h"
#include "control/status.h"
#include "devices/port_devices.h"
#include "devices/settings_file.h"
#include "devices/single_instance.h"
#include "doors/broker_door.h"
#include "doors/line_state.h"
#include "lines/qt_serial_control.h"
#include "unit/unit_model.h"

namespace plenvo {

namespace {

// The settings file keeps the port for the next start, windowed or not; the
// window's place in it stays as it is, unknown when it was never saved.
void keep_port(const SettingsFile& settings, const SettingsFile::Values& saved, int port)
{
    // Without a file, the next start takes port 1 all the same.
    if (saved.com_port.value_or(1) == port)
        return;
    bool written = false;
    if (saved.win_top && saved.win_left) {
        written = settings.write(*saved.win_top, *saved.win_left, int16_t(port));
    } else {
        QDir().mkpath(QFileInfo(settings.path()).absolutePath());
        QSaveFile file(settings.path());
        const QByteArray text = "\r\n\r\n" + QByteArray::number(port) + "\r\n";
        written = file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit();
    }
    if (!written)
        say(QStringLiteral("cannot write ") + settings.path());
}

}  // namespace

int run_headless(int& argc, char** argv, const CommandLine& options)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("plenvo"));
    if (options.trace)
        trace::enable();

    const QString program_dir = QCoreApplication::applicationDirPath();
    SingleInstance instance(program_dir);
    if (!instance.acquire()) {
        say(QStringLiteral("another copy runs from %1; this one ends").arg(QDir::toNativeSeparators(program_dir)));
        if (!has_handover(options))
            return 0;
        const QStringList failures = hand_over(options, control_socket_path(program_dir), false);
        for (const QString& failure : failures)
            say(failure);
        return failures.isEmpty() ? 0 : 1;
    }

    PortDevices devices = PortDevices::for_program(program_dir);
    if (!devices.problem().isEmpty())
        say(devices.problem());
    for (const QString& failure : remember_devices(options, devices))
        say(failure);

    QtPlatform platform;
    QtSerialControl serial([&devices](int port) { return devices.device(port); }, network_lines());
    UnitModel model(platform, serial);
    const auto choose_device = [&](int port, const QString& device) {
        const std::optional<QString> failure = devices.choose(port, device);
        // The port in use is opened again on it.
        if (model.port() == port)
            model.choose_port(port);
        return failure;
    };
    QStringList door_errors;
    const std::unique_ptr<Doors> doors = open_doors(model, options, program_dir, {choose_device, say}, door_errors);
    if (!door_errors.isEmpty()) {
        for (const QString& error : door_errors)
            say(error);
        return 2;
    }

    const SettingsFile settings = SettingsFile::for_program(program_dir);
    const SettingsFile::Values saved = settings.read();
    QString broker_error;
    const std::unique_ptr<BrokerDoor> broker =
        make_broker_door(model, options, devices, saved.com_port.value_or(1), broker_error);
    if (!broker_error.isEmpty()) {
        say(broker_error);
        return 2;
    }
    if (broker)
        QObject::connect(broker.get(), &BrokerDoor::logged, &app, say);

    LineLog line_log;
    QObject::connect(&model, &UnitModel::port_changed, &app, [&] {
        if (const QString change = line_log.next(line_state(model)); !change.isEmpty())
            say(change);
    });
    QObject::connect(doors.get(), &Doors::set_failed, &app, say);
    // What the panel's message line would show, for --trace.
    QObject::connect(&model, &UnitModel::message, &app,
                     [](const QString& text) { trace::line(QStringLiteral("msg"), text); });
    on_stop_signals(app, [] { QCoreApplication::quit(); });

    ServeWhenStateIsIn serving(platform, model);
    serving.serve_on(*doors);
    const bool opened = model.open_start_up_port(saved.com_port.value_or(1));
    if (opened)
        model.request_state();
    serving.start(opened);
    if (broker)
        broker->start();

    QCoreApplication::exec();
    model.close_port();
    keep_port(settings, saved, model.port());
    return 0;
}

}  // namespace plenvo
