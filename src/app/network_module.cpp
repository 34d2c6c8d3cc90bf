// The program's network module: the doors, a second start's handover and
// the network lines, with Qt's network module under them (app/doors.h).

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QThread>

#include "app/command_line.h"
#include "app/doors.h"
#include "app/modules.h"
#include "control/panel_client.h"
#include "control/request.h"
#include "devices/access_token.h"
#include "devices/port_devices.h"
#include "devices/single_instance.h"
#include "doors/control_server.h"
#include "doors/door_keys.h"
#include "doors/page_door.h"
#include "lines/line_device.h"
#include "lines/network_line.h"

namespace plenvo {

namespace {

// As long as a handover may take: the running copy answers at once.
constexpr int kAnswerMs = 3000;
// A copy that has just started opens its socket once its window shows.
constexpr int kSocketRetryMs = 25;

// Away from loopback a client shows the token first, so `keys` must hold
// it there. Empty, or why it does not.
QString load_keys_for(const QHostAddress& host, DoorKeys& keys)
{
    return host.isLoopback() ? QString() : keys.load();
}

// Serves the control protocol on TCP at `address`. Empty, or "ADDRESS: WHY".
QString listen_on_tcp(ControlServer& server, const ListenAddress& address, DoorKeys& keys)
{
    const QHostAddress host(address.host);
    if (const QString error = load_keys_for(host, keys); !error.isEmpty())
        return error;
    return server.listen_tcp(host, address.port, host.isLoopback() ? nullptr : &keys);
}

class NetworkDoors final : public Doors {
public:
    NetworkDoors(UnitModel& model, const QString& program_dir)
        : model_(model), server_(model), keys_(AccessToken::for_program(program_dir))
    {
        connect(&server_, &ControlServer::raise_requested, this, &Doors::raise_requested);
        connect(&server_, &ControlServer::set_failed, this, &Doors::set_failed);
    }

    QStringList open(const CommandLine& options, const QString& program_dir, HandoverTaker taker);
    void start_serving() override { server_.start_serving(); }
    QString phone_link() const override { return web_ ? web_->link() : QString(); }

private:
    void take_handovers(HandoverTaker taker);
    QString open_page(const ListenAddress& address);

    UnitModel& model_;
    ControlServer server_;
    DoorKeys keys_;
    std::unique_ptr<PageDoor> web_;
};

QStringList NetworkDoors::open(const CommandLine& options, const QString& program_dir, HandoverTaker taker)
{
    take_handovers(std::move(taker));
    QString page_missing;
    if (options.web) {
        const auto make = module_entry<decltype(&plenvo_make_page_door)>(
            QStringLiteral(PLENVO_WEB_MODULE), "plenvo_make_page_door", "the web page", page_missing);
        if (make)
            web_.reset(make(model_, keys_));
    }
    QStringList errors{server_.listen_local(control_socket_path(program_dir))};
    if (options.listen)
        errors << listen_on_tcp(server_, *options.listen, keys_);
    if (web_)
        errors << open_page(*options.web);
    errors.removeAll(QString());
    for (QString& error : errors)
        error.prepend(QStringLiteral("cannot listen on "));
    if (!page_missing.isEmpty())
        errors.prepend(page_missing);
    return errors;
}

// Empty, or "ADDRESS: WHY".
QString NetworkDoors::open_page(const ListenAddress& address)
{
    if (const QString error = load_keys_for(QHostAddress(address.host), keys_); !error.isEmpty())
        return error;
    server_.set_web_link([this] { return web_->link(); });
    return web_->listen(address.host, address.port);
}

void NetworkDoors::take_handovers(HandoverTaker taker)
{
    server_.take_handovers([this, taker = std::move(taker)](const control::Request& request) {
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
                error = listen_on_tcp(server_, *address, keys_);
            if (!error.isEmpty())
                failure = QStringLiteral("cannot listen on ") + error;
        }
        if (!failure.isEmpty())
            taker.failed(QStringLiteral("a second start: ") + failure);
        return failure;
    });
}

// The copy holding the lock may not have opened its socket yet.
bool connect_to_running_copy(PanelClient& client, const QString& socket_path)
{
    const QDeadlineTimer deadline(kAnswerMs);
    while (!client.connect_to(socket_path)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(kSocketRetryMs);
    }
    return true;
}

}  // namespace

Doors* plenvo_open_doors(UnitModel& model, const CommandLine& options, const QString& program_dir,
                         HandoverTaker& taker, QStringList& errors)
{
    auto doors = std::make_unique<NetworkDoors>(model, program_dir);
    errors << doors->open(options, program_dir, std::move(taker));
    return doors.release();
}

void plenvo_hand_over(const CommandLine& options, const QString& socket_path, bool raise, QStringList& failures)
{
    // Each option with the command the running copy takes it as.
    QList<std::pair<QString, QString>> commands;
    for (const auto& [port, device] : options.devices)
        commands.append({QStringLiteral("--com%1").arg(port), QStringLiteral("device %1 %2").arg(port).arg(device)});
    if (options.listen)
        commands.append({QStringLiteral("--listen"), QStringLiteral("listen ") + host_and_port(options.listen->host, options.listen->port)});

    PanelClient client;
    const bool connected = connect_to_running_copy(client, socket_path);
    for (const auto& [option, command] : commands) {
        const std::optional<std::string> answer =
            connected ? client.ask(command.toStdString(), kAnswerMs) : std::nullopt;
        if (!answer)
            failures << option + QStringLiteral(": the running copy does not answer");
        else if (*answer != "ok")
            failures << option + QStringLiteral(": ") +
                            QString::fromStdString(control::error_reason(*answer).value_or(*answer));
    }
    if (raise && connected)
        client.ask("raise", kAnswerMs);
}

Line* plenvo_make_network_line(const QString& device, const LineDevice& address, QString& error)
{
    return make_network_line(device, address, error).release();
}

}  // namespace plenvo
