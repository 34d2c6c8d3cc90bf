#pragma once

namespace plenvo {

struct CommandLine;

// The unit model and its doors without windows: no display is needed and
// Qt's widgets are never started.
int run_headless(int& argc, char** argv, const CommandLine& options);

}  // namespace plenvo
