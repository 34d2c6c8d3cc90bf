#include "control/preset.h"

#include <algorithm>

#include "control/status.h"
#include "control/text.h"

namespace plenvo::control {

namespace {

// A file that is no preset at all should not bury the first errors.
constexpr size_t kMostErrors = 10;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

constexpr size_t place_of(protocol::Field field)
{
    for (size_t i = 0; i < kSettings.size(); ++i)
        if (kSettings[i].command.field == field)
            return i;
    return kSettings.size();
}

constexpr size_t kPower = place_of(&DeviceState::power_state);
constexpr size_t kBypass = place_of(&DeviceState::bypass_enabled);
constexpr size_t kInput = place_of(&DeviceState::input_source);

size_t place_of(const Setting& setting)
{
    return size_t(&setting - kSettings.data());
}

// The line without its line end and comment, or why it cannot be read.
std::string_view content_of(std::string_view line, std::string& error)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    const auto binary = std::find_if(line.begin(), line.end(), is_control_byte);
    if (binary != line.end()) {
        error = "a byte that is not text (" + byte_name(*binary) + ")";
        return {};
    }
    return line.substr(0, line.find('#'));
}

// Reads one line into the preset; says what is wrong with it, if anything.
std::string read_line(std::string_view line, int number, Preset& preset, std::array<int, kSettings.size()>& set_on)
{
    std::string error;
    const std::vector<std::string_view> words = words_of(content_of(line, error));
    if (!error.empty() || words.empty())
        return error;
    if (words.size() > 2)
        return "more than a name and a value";
    const std::optional<Assignment> assignment = parse_assignment(words[0], word_after(words, 0), error);
    if (!assignment)
        return error;
    const size_t index = place_of(*assignment->setting);
    if (set_on[index])
        return std::string(assignment->setting->name) + " is set again (first on line " +
               std::to_string(set_on[index]) + ")";
    set_on[index] = number;
    preset.values[index] = assignment->value;
    return {};
}

bool differs(const Preset& preset, size_t index, const DeviceState& current)
{
    const std::optional<int16_t>& wanted = preset.values[index];
    return wanted && *wanted != read(kSettings[index], current);
}

int16_t wanted_value(const Preset& preset, size_t index, const DeviceState& current)
{
    return preset.values[index].value_or(read(kSettings[index], current));
}

}  // namespace

PresetRead parse_preset(std::string_view text)
{
    if (text.starts_with(kByteOrderMark))
        text.remove_prefix(kByteOrderMark.size());
    PresetRead result;
    std::array<int, kSettings.size()> set_on{};
    int number = 0;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        const std::string error = read_line(text.substr(0, end), ++number, result.preset, set_on);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (error.empty())
            continue;
        if (result.errors.size() == kMostErrors) {
            result.errors.push_back("further lines not checked");
            break;
        }
        result.errors.push_back("line " + std::to_string(number) + ": " + error);
    }
    return result;
}

std::string format_preset(const DeviceState& s)
{
    std::string text = "# Plenvo preset: one \"name value\" per line; # starts a comment.\n";
    for (const Setting& setting : kSettings) {
        const int16_t value = read(setting, s);
        if (!settable(setting, value))
            text += "# " + setting_text(setting, value) + " (as reported; cannot be set)\n";
        else
            text += setting_text(setting, value) + '\n';
    }
    return text;
}

LoadPlan plan_load(const Preset& preset, const DeviceState& current)
{
    LoadPlan plan;
    const bool to_bypass = differs(preset, kInput, current) && *preset.values[kInput] == protocol::kBypassInput;
    if (to_bypass && wanted_value(preset, kBypass, current) != 1) {
        plan.error = "input bypass needs bypass on";
        return plan;
    }

    const bool on_after = wanted_value(preset, kPower, current) == 1;
    const bool granting_bypass = wanted_value(preset, kBypass, current) == 1;
    std::vector<size_t> order;
    if (on_after)
        order.push_back(kPower);
    if (granting_bypass)
        order.push_back(kBypass);
    for (size_t index = 0; index < kSettings.size(); ++index)
        if (index != kPower && !(index == kBypass && granting_bypass))
            order.push_back(index);
    if (!on_after)
        order.push_back(kPower);

    const bool applies = on_after || current.power_state == 1;
    for (const size_t index : order) {
        if (!differs(preset, index, current))
            continue;
        if (index == kPower || applies)
            plan.steps.push_back({&kSettings[index], *preset.values[index]});
        else
            plan.held_back.push_back(&kSettings[index]);
    }
    return plan;
}

}  // namespace plenvo::control
