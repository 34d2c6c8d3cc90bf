// The web page's module: the page's door, with Qt's HTTP server and
// WebSockets under it, loaded only with --web (app/doors.h).

#include "app/doors.h"
#include "doors/web_door.h"

namespace plenvo {

PageDoor* plenvo_make_page_door(UnitModel& model, DoorKeys& keys)
{
    return new WebDoor(model, keys);
}

}  // namespace plenvo
