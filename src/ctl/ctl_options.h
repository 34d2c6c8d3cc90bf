#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

#include "control/setting_table.h"

namespace plenvo::ctl {

enum class Command { Status, Set, Watch, Ports, Save, Load, WebUrl };

// What plenvo-ctl was asked to do.
struct Options {
    Command command = Command::Status;
    bool json = false;
    bool new_token = false;  // web-url --new
    std::vector<control::Assignment> settings;  // set
    QString file;                               // save, load
    // The line chosen on the command line: a device or URL, or a port
    // number. Neither: the running panel, else port 1.
    std::optional<QString> port;
    std::optional<int> com;

    // Set when the program should end at once with this status, after
    // printing `output` (to stdout for status 0, stderr otherwise).
    std::optional<int> exit_status;
    QString output;
};

// Reads plenvo-ctl's arguments (the program's name first). A bad name, value
// or option ends with status 2 and says what would be valid.
Options parse_arguments(const QStringList& arguments);

QString usage_text();

}  // namespace plenvo::ctl
