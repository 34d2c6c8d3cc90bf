#pragma once

#include <QString>

namespace plenvo::ctl {

inline constexpr int kPorts = 2;

// The device behind a port number, from where the panel takes it.
QString configured_device(int port);

// The device of each configured port, and the serial devices found with
// their stable /dev/serial/by-id names and descriptions.
QString ports_text();

}  // namespace plenvo::ctl
