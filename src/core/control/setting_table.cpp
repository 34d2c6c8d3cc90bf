#include "control/setting_table.h"

#include <algorithm>

#include "control/text.h"

namespace plenvo::control {

namespace {

// Decimal digits only: no sign, no blanks, no fraction.
std::optional<int> number_in(std::string_view word)
{
    if (word.empty())
        return std::nullopt;
    int value = 0;
    for (const char c : word) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = std::min(value * 10 + (c - '0'), protocol::kVideoMax + 1);
    }
    return value;
}

}  // namespace

const Setting* find_setting(std::string_view name)
{
    // The British spelling names the same setting; status shows "color".
    if (same_word("colour", name))
        name = "color";
    const auto it = std::find_if(kSettings.begin(), kSettings.end(),
                                 [name](const Setting& s) { return same_word(s.name, name); });
    return it == kSettings.end() ? nullptr : &*it;
}

std::optional<int16_t> value_of(const Setting& setting, std::string_view word)
{
    if (is_number_setting(setting)) {
        const std::optional<int> number = number_in(word);
        if (!number || !settable(setting, *number))
            return std::nullopt;
        return int16_t(*number);
    }
    const auto it = std::find_if(setting.words.begin(), setting.words.end(),
                                 [word](const Word& w) { return same_word(w.word, word); });
    return it == setting.words.end() ? std::nullopt : std::optional<int16_t>(it->value);
}

std::optional<Assignment> parse_assignment(std::string_view name, std::optional<std::string_view> word,
                                           std::string& error)
{
    const Setting* setting = find_setting(name);
    if (!setting) {
        error = "unknown setting " + quoted(name) + " (settings: " + valid_names() + ")";
        return std::nullopt;
    }
    const std::optional<int16_t> value = word ? value_of(*setting, *word) : std::nullopt;
    if (!value) {
        const std::string what = word ? "bad value " + quoted(*word) + " for " : "no value for ";
        error = what + setting->name + " (values: " + valid_values(*setting) + ")";
        return std::nullopt;
    }
    return Assignment{setting, *value};
}

std::string word_of(const Setting& setting, int value)
{
    const auto it = std::find_if(setting.words.begin(), setting.words.end(),
                                 [value](const Word& w) { return w.value == value; });
    return it == setting.words.end() ? std::to_string(value) : it->word;
}

bool is_number_setting(const Setting& setting)
{
    return setting.words.empty();
}

bool settable(const Setting& setting, int value)
{
    if (is_number_setting(setting))
        return value >= protocol::kVideoMin && value <= protocol::kVideoMax;
    return std::any_of(setting.words.begin(), setting.words.end(),
                       [value](const Word& w) { return w.value == value; });
}

std::string valid_names()
{
    return joined(kSettings, ", ", [](const Setting& s) { return s.name; });
}

std::string valid_values(const Setting& setting)
{
    if (is_number_setting(setting))
        return std::to_string(protocol::kVideoMin) + " to " + std::to_string(protocol::kVideoMax);
    return joined(setting.words, ", ", [](const Word& w) { return w.word; });
}

int16_t read(const Setting& setting, const DeviceState& s)
{
    return s.*(setting.command.field);
}

void write(const Setting& setting, int16_t value, DeviceState& s)
{
    s.*(setting.command.field) = value;
}

protocol::Frame frame_of(const Assignment& assignment)
{
    const protocol::Command& command = assignment.setting->command;
    return {uint8_t(command.first), uint8_t(command.second), uint8_t(assignment.value)};
}

}  // namespace plenvo::control
