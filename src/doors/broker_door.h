#pragma once

#include <QObject>
#include <QString>

namespace plenvo {

// A door to the unit on a message broker, as the program sees it. The
// broker door itself (doors/mqtt_door.h) and the client library under it
// are loaded only when a broker is asked for, so that a start without one
// spends no time on them.
class BrokerDoor : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Connects, and keeps connecting while the program runs.
    virtual void start() = 0;

signals:
    // A line for the program's log: the connection's changes, and each
    // message that was not carried out, and why.
    void logged(const QString& line);
    // The broker turned the program away (password, certificate).
    void refused(const QString& why);
};

}  // namespace plenvo
