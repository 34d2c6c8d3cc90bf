#pragma once

namespace plenvo {

struct CommandLine;

// The panel: the three windows on the unit model, and the doors beside them.
// It is built as a module of its own, which main() loads only for a windowed
// start and whose one entry point it finds by this name, so that a start
// without windows loads neither Qt's widgets nor its GUI.
extern "C" int plenvo_run_windowed(int& argc, char** argv, const CommandLine& options);
inline constexpr char kRunWindowedName[] = "plenvo_run_windowed";
using RunWindowed = decltype(&plenvo_run_windowed);

}  // namespace plenvo
