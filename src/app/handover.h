#pragma once

#include <QString>

#include <functional>
#include <optional>

#include "app/command_line.h"

namespace plenvo {

// A second start with options (--com1, --com2, --listen) hands them to the
// copy already running, over its control socket, instead of dropping them
// (app/doors.h: hand_over).

// Whether the options hold anything to hand over.
inline bool has_handover(const CommandLine& options)
{
    return !options.devices.empty() || options.listen;
}

// The running copy's side: what it needs to take a handover.
struct HandoverTaker {
    // Puts the device behind the port, as --comN does; why not, or nothing.
    std::function<std::optional<QString>(int port, const QString& device)> choose_device;
    // Told of a handover that could not be carried out, with the reason.
    std::function<void(const QString& failure)> failed;
};

}  // namespace plenvo
