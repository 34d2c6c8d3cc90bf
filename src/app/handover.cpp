#include "app/handover.h"

#include <QHostAddress>

#include "app/command_line.h"
#include "app/doors.h"
#include "control/panel_client.h"
#include "control/request.h"
#include "devices/port_devices.h"
#include "doors/control_server.h"

namespace plenvo {

namespace {

// As long as a handover may take: the running copy answers at once.
constexpr int kAnswerMs = 3000;

QString address_text(const QHostAddress& host, quint16 port)
{
    const QString name = host.protocol() == QAbstractSocket::IPv6Protocol ? '[' + host.toString() + ']'
                                                                           : host.toString();
    return name + ':' + QString::number(port);
}

}  // namespace

bool has_handover(const CommandLine& options)
{
    return !options.devices.empty() || options.listen;
}

QStringList hand_over(const CommandLine& options, const QString& socket_path)
{
    // Each option with the command the running copy takes it as.
    QList<std::pair<QString, QString>> commands;
    for (const auto& [port, device] : options.devices)
        commands.append({QStringLiteral("--com%1").arg(port), QStringLiteral("device %1 %2").arg(port).arg(device)});
    if (options.listen)
        commands.append({QStringLiteral("--listen"),
                         QStringLiteral("listen ") + address_text(options.listen->first, options.listen->second)});

    QStringList failures;
    PanelClient client;
    const bool connected = client.connect_to(socket_path);
    for (const auto& [option, command] : commands) {
        const std::optional<std::string> answer =
            connected ? client.ask(command.toStdString(), kAnswerMs) : std::nullopt;
        if (!answer)
            failures << option + QStringLiteral(": the running copy does not answer");
        else if (*answer != "ok")
            failures << option + QStringLiteral(": ") +
                            QString::fromStdString(control::error_reason(*answer).value_or(*answer));
    }
    return failures;
}

void take_handovers(ControlServer& server, DoorKeys& keys, HandoverTaker taker)
{
    server.take_handovers([&server, &keys, taker = std::move(taker)](const control::Request& request) {
        QString failure;
        const QString argument = QString::fromStdString(request.argument);
        if (request.verb == control::Verb::Device) {
            if (const std::optional<QString> mistake = device_mistake(argument))
                failure = QStringLiteral("--com%1: %2").arg(request.port).arg(*mistake);
            else if (const std::optional<QString> refused = taker.choose_device(request.port, argument))
                failure = QStringLiteral("--com%1: %2").arg(request.port).arg(*refused);
        } else {
            QString error;
            if (const auto address = parse_listen_address(argument, error))
                error = listen_on_tcp(server, *address, keys);
            if (!error.isEmpty())
                failure = QStringLiteral("cannot listen on ") + error;
        }
        if (!failure.isEmpty())
            taker.failed(QStringLiteral("a second start: ") + failure);
        return failure;
    });
}

}  // namespace plenvo
