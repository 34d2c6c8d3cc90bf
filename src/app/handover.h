#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace plenvo {

class ControlServer;
class DoorKeys;
struct CommandLine;

// A second start with options (--com1, --com2, --listen) hands them to the
// copy already running, over its control socket, instead of dropping them.

// Whether the options hold anything to hand over.
bool has_handover(const CommandLine& options);

// Hands the options to the copy listening at `socket_path`; why each could
// not be taken, empty when all were.
QStringList hand_over(const CommandLine& options, const QString& socket_path);

// The running copy's side: what it needs to take a handover.
struct HandoverTaker {
    // Puts the device behind the port, as --comN does; why not, or nothing.
    std::function<std::optional<QString>(int port, const QString& device)> choose_device;
    // Told of a handover that could not be carried out, with the reason.
    std::function<void(const QString& failure)> failed;
};
// A listen address away from loopback asks its clients for `keys`' token.
void take_handovers(ControlServer& server, DoorKeys& keys, HandoverTaker taker);

}  // namespace plenvo
