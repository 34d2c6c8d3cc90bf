#pragma once

#include <QStringList>

namespace plenvo {

class ControlServer;
struct CommandLine;

// Serves plenvo-ctl on the user's socket and, with --listen, control
// systems on TCP. Returns what could not be opened, each as "ADDRESS: WHY".
QStringList open_doors(ControlServer& server, const CommandLine& options, const QString& program_dir);

}  // namespace plenvo
