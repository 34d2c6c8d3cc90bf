#include "app/doors.h"

#include "app/command_line.h"
#include "app/modules.h"
#include "control/status.h"
#include "devices/single_instance.h"
#include "doors/control_server.h"
#include "doors/door_keys.h"
#include "doors/page_door.h"
#include "unit/unit_model.h"

namespace plenvo {

std::unique_ptr<PageDoor> make_page_door(UnitModel& model, DoorKeys& keys, const CommandLine& options, QString& error)
{
    if (!options.web)
        return nullptr;
    const auto make = module_entry<decltype(&plenvo_make_page_door)>(QStringLiteral(PLENVO_WEB_MODULE),
                                                                     "plenvo_make_page_door", "the web page", error);
    return std::unique_ptr<PageDoor>(make ? make(model, keys) : nullptr);
}

QStringList open_doors(ControlServer& server, const CommandLine& options, const QString& program_dir, DoorKeys& keys,
                       PageDoor* web)
{
    QStringList errors{server.listen_local(control_socket_path(program_dir))};
    // Away from loopback a client shows the token first.
    if (options.web && !options.web->first.isLoopback())
        if (const QString error = keys.load(); !error.isEmpty())
            return {error};
    if (options.listen)
        errors << listen_on_tcp(server, *options.listen, keys);
    if (options.web && web) {
        errors << web->listen(options.web->first, options.web->second);
        server.set_web_link([web] { return web->link(); });
    }
    errors.removeAll(QString());
    return errors;
}

QString listen_on_tcp(ControlServer& server, const std::pair<QHostAddress, quint16>& address, DoorKeys& keys)
{
    if (address.first.isLoopback())
        return server.listen_tcp(address.first, address.second);
    if (const QString error = keys.load(); !error.isEmpty())
        return error;
    return server.listen_tcp(address.first, address.second, &keys);
}

namespace {

// As long as the panel waits for the unit's state at start-up.
constexpr int kStateMs = 1000;

}  // namespace

ServeWhenStateIsIn::ServeWhenStateIsIn(Platform& platform, UnitModel& model, ControlServer& server)
    : server_(server), timer_(platform.make_timer(kStateMs))
{
    timer_->on_tick = [this] { serve(); };
    QObject::connect(&model, &UnitModel::frame_applied, &server_, [this](const protocol::Frame& frame) {
        if (const control::Setting* setting = control::reported_setting(frame))
            reported_.set(size_t(setting - control::kSettings.data()));
        if (reported_.all())
            serve();
    });
}

ServeWhenStateIsIn::~ServeWhenStateIsIn() = default;

void ServeWhenStateIsIn::start(bool asked)
{
    if (asked)
        timer_->set_enabled(true);
    else
        serve();
}

void ServeWhenStateIsIn::serve()
{
    timer_->set_enabled(false);
    if (served_)
        return;
    served_ = true;
    server_.start_serving();
}

}  // namespace plenvo
