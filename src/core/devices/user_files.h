#pragma once

#include <QString>

namespace plenvo {

// The folder that holds the user's files (the settings file, the devices
// file) for every program of the package: the panel, the program without a
// display and plenvo-ctl all find the same files there.
//
// An installed copy (its menu entry in ../share/applications beside its
// folder, as the package and `cmake --install` put it), and any copy in a
// folder the user cannot write, keeps them in $XDG_CONFIG_HOME/plenvo
// (~/.config/plenvo). Any other copy (a build folder, a copy unpacked
// somewhere) keeps them beside itself, so each such folder is an install
// of its own.
QString user_folder(const QString& program_dir);

// Installed beside the programs' folder: what marks them as installed.
inline constexpr const char* kMenuEntry = "../share/applications/plenvo.desktop";

}  // namespace plenvo
