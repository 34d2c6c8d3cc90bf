#pragma once

#include <QHostAddress>
#include <QStringList>

#include <bitset>
#include <memory>
#include <utility>

#include "base/platform.h"
#include "control/setting_table.h"

namespace plenvo {

class ControlServer;
class DoorKeys;
class PageDoor;
class UnitModel;
struct CommandLine;

// With --web, the page's door, from its module and not yet listening;
// nullptr without --web, or with `error` set.
std::unique_ptr<PageDoor> make_page_door(UnitModel& model, DoorKeys& keys, const CommandLine& options, QString& error);
// The page's door and Qt's HTTP server and WebSockets live in a module of
// their own, loaded only with --web; this is its entry point, found by name.
extern "C" PageDoor* plenvo_make_page_door(UnitModel& model, DoorKeys& keys);

// Serves plenvo-ctl on the user's socket and, with --listen, control
// systems on TCP, and on `web` the page. Returns what could not be
// opened, each as "ADDRESS: WHY". `keys` is loaded when a door is away
// from loopback.
QStringList open_doors(ControlServer& server, const CommandLine& options, const QString& program_dir, DoorKeys& keys,
                       PageDoor* web);

// Serves the control protocol on TCP at `address`; away from loopback its
// clients show `keys`' token first. Empty, or "ADDRESS: WHY".
QString listen_on_tcp(ControlServer& server, const std::pair<QHostAddress, quint16>& address, DoorKeys& keys);

// Status and set are carried out once the unit has reported every setting,
// or a second after it was asked, so that their answers are the unit's.
class ServeWhenStateIsIn {
public:
    ServeWhenStateIsIn(Platform& platform, UnitModel& model, ControlServer& server);
    ~ServeWhenStateIsIn();
    // `asked`: the unit was asked for its state; else serve at once.
    void start(bool asked);

private:
    void serve();

    ControlServer& server_;
    std::unique_ptr<Timer> timer_;
    std::bitset<control::kSettings.size()> reported_;
    bool served_ = false;
};

}  // namespace plenvo
