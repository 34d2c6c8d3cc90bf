#pragma once

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QStringList>

#include <bitset>
#include <memory>

#include "app/handover.h"
#include "base/platform.h"
#include "control/setting_table.h"
#include "lines/qt_serial_control.h"

namespace plenvo {

class DoorKeys;
class PageDoor;
class UnitModel;
struct CommandLine;

// What of the program needs Qt's network module lives in a module of its
// own, loaded when first needed: the doors (plenvo-ctl's socket, --listen's
// TCP door, the page), a second start's handover and the lines to a unit on
// the network. A windowed start on a serial port opens its doors once its
// window has been painted, so that Qt Network and the libraries under it do
// not hold the window back.

// The doors, open.
class Doors : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Status and set are carried out from now on; until then they wait.
    virtual void start_serving() = 0;
    // The page's address for a phone, with the token when it needs one;
    // empty while the page is not served.
    virtual QString phone_link() const = 0;

signals:
    // A second start asks the panel to come forward.
    void raise_requested();
    // A set from a door the unit did not take.
    void set_failed(const QString& reason);
};

// Opens the doors the options ask for, taking second starts' handovers;
// each door that could not be opened is a line for the user in `errors`.
// nullptr, with the reason in `errors`, when the module cannot be loaded.
std::unique_ptr<Doors> open_doors(UnitModel& model, const CommandLine& options, const QString& program_dir,
                                  HandoverTaker taker, QStringList& errors);

// A second start: hands the options to the copy listening at
// `socket_path` and, with `raise`, asks it to come forward. Why each option
// could not be taken; empty when all were.
QStringList hand_over(const CommandLine& options, const QString& socket_path, bool raise);

// The lines to a unit on the network, for QtSerialControl.
QtSerialControl::NetworkLineMaker network_lines();

// Status and set are carried out once the unit has reported every setting,
// or a second after it was asked, so that their answers are the unit's.
class ServeWhenStateIsIn {
public:
    ServeWhenStateIsIn(Platform& platform, UnitModel& model);
    ~ServeWhenStateIsIn();
    // `asked`: the unit was asked for its state; else serve at once.
    void start(bool asked);
    // The doors serve once the state is in: at once, when it is.
    void serve_on(Doors& doors);

private:
    void serve();

    std::unique_ptr<Timer> timer_;
    QMetaObject::Connection frames_;
    std::bitset<control::kSettings.size()> reported_;
    bool served_ = false;
    Doors* doors_ = nullptr;
};

// The network module's entry points, found by name.
extern "C" Doors* plenvo_open_doors(UnitModel& model, const CommandLine& options, const QString& program_dir,
                                    HandoverTaker& taker, QStringList& errors);
extern "C" void plenvo_hand_over(const CommandLine& options, const QString& socket_path, bool raise,
                                 QStringList& failures);
extern "C" Line* plenvo_make_network_line(const QString& device, const LineDevice& address, QString& error);

// The page's door and Qt's HTTP server and WebSockets live in a module of
// their own, loaded by the doors only with --web; this is its entry point.
extern "C" PageDoor* plenvo_make_page_door(UnitModel& model, DoorKeys& keys);

}  // namespace plenvo
