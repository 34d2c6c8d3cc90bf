#pragma once

// The unit's settings by the names users say, with their values as words:
// one table shared by the status, the presets and the control protocol.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "wire/device_state.h"
#include "wire/protocol.h"

namespace plenvo::control {

struct Word {
    const char* word;
    int16_t value;
};

struct Setting {
    const char* name;
    protocol::Command command;
    // Empty: the value is a number from protocol::kVideoMin to kVideoMax.
    std::span<const Word> words;
};

inline constexpr std::array kOnOff{Word{"on", 1}, Word{"off", 0}};
// The front panel lock runs the other way round, as in the adjustment
// window: its on button sends 0.
inline constexpr std::array kLockWords{Word{"on", 0}, Word{"off", 1}};
inline constexpr std::array kInputWords{
    Word{"cv", 0}, Word{"sv", 1}, Word{"yuv", 2}, Word{"pc", 3}, Word{"bypass", protocol::kBypassInput},
};
inline constexpr std::array kOutputWords{
    Word{"vga", 0}, Word{"480p", 1}, Word{"svga", 2}, Word{"xga", 3},
    Word{"sxga", 4}, Word{"576p", 5}, Word{"720p", 6}, Word{"1080i", 7},
};
inline constexpr std::array kAspectWords{Word{"4:3", 2}, Word{"16:9", 0}, Word{"std", 1}};

// In the order the unit reports its state.
inline constexpr std::array kSettings{
    Setting{"power", protocol::kPW, kOnOff},
    Setting{"input", protocol::kIN, kInputWords},
    Setting{"output", protocol::kOU, kOutputWords},
    Setting{"bypass", protocol::kBY, kOnOff},
    Setting{"display", protocol::kDI, kOnOff},
    Setting{"aspect", protocol::kAS, kAspectWords},
    Setting{"ir", protocol::kIR, kOnOff},
    Setting{"lock", protocol::kFP, kLockWords},
    Setting{"enhance", protocol::kTD, kOnOff},
    Setting{"nr", protocol::kNR, kOnOff},
    Setting{"osd", protocol::kOS, kOnOff},
    Setting{"blank", protocol::kBL, kOnOff},
    Setting{"freeze", protocol::kFR, kOnOff},
    Setting{"bright", protocol::kBR, {}},
    Setting{"contrast", protocol::kCO, {}},
    Setting{"color", protocol::kSA, {}},
    Setting{"sharp", protocol::kSH, {}},
    Setting{"tint", protocol::kTI, {}},
    Setting{"volume", protocol::kVO, {}},
};

// A value chosen for a setting.
struct Assignment {
    const Setting* setting = nullptr;
    int16_t value = 0;
    bool operator==(const Assignment&) const = default;
};

// Names and words are matched without regard to case.
const Setting* find_setting(std::string_view name);
std::optional<int16_t> value_of(const Setting& setting, std::string_view word);

// NAME VALUE as an assignment; when they are none (a value missing too),
// `error` says what is wrong and lists the valid names or values.
std::optional<Assignment> parse_assignment(std::string_view name, std::optional<std::string_view> word,
                                           std::string& error);

// The value's word; a value that has none (the unit may report anything)
// as its number.
std::string word_of(const Setting& setting, int value);
bool is_number_setting(const Setting& setting);
// Whether the value can be sent: it has a word, or is a number in range.
bool settable(const Setting& setting, int value);

// "power, input, ...", and "on, off" or "0 to 63", for error messages.
std::string valid_names();
std::string valid_values(const Setting& setting);

int16_t read(const Setting& setting, const DeviceState& s);
void write(const Setting& setting, int16_t value, DeviceState& s);
// The command frame that sets the value.
protocol::Frame frame_of(const Assignment& assignment);

}  // namespace plenvo::control
