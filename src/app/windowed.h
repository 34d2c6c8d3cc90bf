#pragma once

namespace plenvo {

struct CommandLine;

// The panel: the three windows on the unit model, and the doors beside them.
int run_windowed(int& argc, char** argv, const CommandLine& options);

}  // namespace plenvo
