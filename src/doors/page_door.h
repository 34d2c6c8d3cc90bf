#pragma once

#include <QObject>
#include <QString>

namespace plenvo {

// The web page's door, as the program sees it. The door itself
// (doors/web_door.h) and Qt's HTTP server and WebSockets under it are
// loaded only with --web, so that a start without the page spends no time
// on them.
class PageDoor : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Empty, or what went wrong. `host` is an IP address (no brackets).
    virtual QString listen(const QString& host, quint16 port) = 0;
    // The page's address for a phone, with the token when it needs one;
    // empty while it is not served.
    virtual QString link() const = 0;
};

}  // namespace plenvo
