#pragma once

// Design positions of the controls of the three windows, in twips measured
// from the top-left corner of each client area. The skin was drawn at 15
// twips per pixel; windows multiply the positions by their layout scale when
// they load, never the picture sizes.

#include <array>

namespace plenvo::layout {

struct Rect {
    int left;
    int top;
    int width;
    int height;
};

// A skinned button or indicator: its element index in the window's button
// array, its place, and the picture it shows until the window first draws its
// state (nullptr for the fixed minimise and exit glyphs).
struct Element {
    int index;
    Rect rect;
    const char* start_picture;
};

inline constexpr int kDesignTwipsPerPixel = 15;

// Main window.
inline constexpr Rect kMainClient{0, 0, 7080, 2625};
inline constexpr Rect kMainLogo{60, 60, 1185, 270};
inline constexpr Rect kMainVersionLabel{1275, 120, 675, 225};
inline constexpr Rect kMainMessageLabel{2205, 120, 2190, 195};
// Lies below the visible area; its size is the size the window takes.
inline constexpr Rect kMainFormImage{0, 5940, 7050, 2625};
inline constexpr Rect kMainDiagnosticText{30, 2595, 6975, 2865};
inline constexpr Rect kMainClearButton{150, 5550, 645, 345};

// There are no elements 14, 17 and 18.
inline constexpr std::array<Element, 20> kMainButtons{{
    {0, {180, 1170, 735, 615}, "power_off"},
    {1, {1125, 945, 870, 390}, "cv_off"},
    {2, {1095, 1530, 870, 390}, "sv_off"},
    {3, {2025, 945, 870, 390}, "yuv_off"},
    {4, {1995, 1530, 870, 390}, "pc_off"},
    {5, {3105, 945, 870, 390}, "vga_off"},
    {6, {3060, 1530, 870, 390}, "480p_off"},
    {7, {4005, 945, 870, 390}, "svga_off"},
    {8, {3975, 1530, 870, 390}, "576p_off"},
    {9, {4905, 945, 870, 390}, "xga_off"},
    {10, {5805, 945, 870, 390}, "sxga_off"},
    {11, {5775, 1530, 870, 390}, "1080i_off"},
    {12, {4875, 1530, 870, 390}, "720p_off"},
    {13, {1350, 1995, 1260, 390}, "bypass_disable"},
    {15, {5370, 2130, 1575, 375}, "adj_off"},
    {16, {3870, 2130, 1575, 375}, "video_off"},
    {19, {4980, 270, 705, 300}, "com1_off"},
    {20, {5730, 285, 705, 300}, "com2_off"},
    {21, {6480, 75, 225, 180}, nullptr},
    {22, {6735, 75, 225, 180}, nullptr},
}};

// What a screen reader tells of an element besides its name: a plain
// button, a switch (on while lit), one choice of a group (selected while
// lit), or a serial port (selected while open; its picture's state is told
// in words: on, off or error).
enum class Role { Button, Switch, Choice, Port };

// An element's name, said by screen readers and shown as its tooltip.
struct ElementName {
    int index;
    const char* name;
    Role role;
};

inline constexpr std::array<ElementName, 20> kMainNames{{
    {0, "Power", Role::Switch},
    {1, "Input CV", Role::Choice},
    {2, "Input SV", Role::Choice},
    {3, "Input YUV", Role::Choice},
    {4, "Input PC", Role::Choice},
    {5, "Output VGA", Role::Choice},
    {6, "Output 480P", Role::Choice},
    {7, "Output SVGA", Role::Choice},
    {8, "Output 576P", Role::Choice},
    {9, "Output XGA", Role::Choice},
    {10, "Output SXGA", Role::Choice},
    {11, "Output 1080I", Role::Choice},
    {12, "Output 720P", Role::Choice},
    {13, "PC bypass", Role::Choice},
    {15, "Adjustments", Role::Switch},
    {16, "Video", Role::Switch},
    {19, "Port COM1", Role::Port},
    {20, "Port COM2", Role::Port},
    {21, "Minimise", Role::Button},
    {22, "Exit", Role::Button},
}};

// Adjustment window. There is no element 15.
inline constexpr Rect kAdjClient{0, 0, 3450, 2625};
inline constexpr std::array<Element, 21> kAdjButtons{{
    {0, {1965, 850, 495, 240}, "on_off"},      // Display on
    {1, {2640, 850, 495, 240}, "off_off"},     // Display off
    {2, {2325, 1375, 495, 240}, "43_off"},     // Aspect 4:3
    {3, {2880, 1375, 495, 240}, "169_off"},    // Aspect 16:9
    {4, {1965, 1875, 495, 240}, "on_off"},     // IR Sensor on
    {5, {2640, 1875, 495, 240}, "off_off"},    // IR Sensor off
    {6, {285, 1875, 495, 240}, "on_off"},      // Front Panel Lock on
    {7, {945, 1875, 495, 240}, "off_off"},     // Front Panel Lock off
    {8, {285, 1375, 495, 240}, "on_off"},      // 3D Enhance on
    {9, {945, 1375, 495, 240}, "off_off"},     // 3D Enhance off
    {10, {285, 850, 495, 240}, "on_off"},      // Digital NR on
    {11, {945, 850, 495, 240}, "off_off"},     // Digital NR off
    {12, {1965, 350, 495, 240}, "on_off"},     // Osd on
    {13, {2610, 350, 495, 240}, "off_off"},    // Osd off
    {14, {1800, 1375, 495, 240}, "std_off"},   // Aspect std
    {16, {210, 350, 690, 270}, "enable_off"},  // PC Loop Bypass enable
    {17, {900, 350, 690, 270}, "disable_off"}, // PC Loop Bypass disable
    {18, {255, 2355, 495, 240}, "on_off"},     // Blank on
    {19, {945, 2350, 495, 240}, "off_off"},    // Blank off
    {20, {1965, 2350, 495, 240}, "on_off"},    // Freeze on
    {21, {2640, 2350, 495, 240}, "off_off"},   // Freeze off
}};

inline constexpr std::array<ElementName, 21> kAdjNames{{
    {0, "Display on", Role::Choice},
    {1, "Display off", Role::Choice},
    {2, "Aspect 4:3", Role::Choice},
    {3, "Aspect 16:9", Role::Choice},
    {4, "IR Sensor on", Role::Choice},
    {5, "IR Sensor off", Role::Choice},
    {6, "Front Panel Lock on", Role::Choice},
    {7, "Front Panel Lock off", Role::Choice},
    {8, "3D Enhance on", Role::Choice},
    {9, "3D Enhance off", Role::Choice},
    {10, "Digital NR on", Role::Choice},
    {11, "Digital NR off", Role::Choice},
    {12, "Osd on", Role::Choice},
    {13, "Osd off", Role::Choice},
    {14, "Aspect std", Role::Choice},
    {16, "PC Loop Bypass enable", Role::Choice},
    {17, "PC Loop Bypass disable", Role::Choice},
    {18, "Blank on", Role::Choice},
    {19, "Blank off", Role::Choice},
    {20, "Freeze on", Role::Choice},
    {21, "Freeze off", Role::Choice},
}};

// Video settings window: six sliders (0..63) with their value labels, in the
// order of kVideoSettingNames, and the reset button.
inline constexpr Rect kVideoClient{0, 0, 7650, 1365};
inline constexpr std::array<Rect, 6> kVideoSliders{{
    {285, 270, 1830, 150},
    {2685, 270, 1830, 150},
    {5085, 270, 1830, 150},
    {285, 945, 1830, 150},
    {2685, 945, 1830, 150},
    {5100, 945, 1830, 150},
}};
inline constexpr std::array<Rect, 6> kVideoLabels{{
    {1530, 390, 270, 225},
    {4080, 390, 270, 225},
    {6330, 390, 270, 225},
    {1515, 1065, 270, 225},
    {3825, 1065, 270, 225},
    {6390, 1065, 270, 225},
}};
inline constexpr Rect kVideoReset{7125, 75, 435, 1215};
inline constexpr std::array<const char*, 6> kVideoSettingNames{"BRIGHT", "CONTRAST", "COLOR",
                                                               "SHARP",  "TINT",     "VOLUME"};
inline constexpr ElementName kVideoResetName{0, "Reset", Role::Button};

}  // namespace plenvo::layout
