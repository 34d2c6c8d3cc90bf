#pragma once

namespace plenvo {

// The whole program: the command line, then the windows, the program
// without them or the broker's clean-up. The program file only loads this
// library and calls it by this name (main.cpp).
extern "C" int plenvo_main(int argc, char** argv);
inline constexpr char kMainName[] = "plenvo_main";
using MainEntry = decltype(&plenvo_main);

}  // namespace plenvo
