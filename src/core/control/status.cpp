#include "control/status.h"

#include <algorithm>

#include "control/text.h"

namespace plenvo::control {

namespace {

std::string json_pair(const Setting& setting, int value)
{
    const std::string word = word_of(setting, value);
    const bool as_number = is_number_setting(setting) || !settable(setting, value);
    return '"' + std::string(setting.name) + "\": " + (as_number ? word : '"' + word + '"');
}

// Every setting's text as it stands, with `separator` between them.
template <typename Text>
std::string each_setting(const DeviceState& s, std::string_view separator, Text text)
{
    return joined(kSettings, separator, [&](const Setting& setting) { return text(setting, read(setting, s)); });
}

}  // namespace

const Setting* reported_setting(const protocol::Frame& frame)
{
    const protocol::ReplyRule* rule = protocol::find_reply_rule(frame.first, frame.second);
    if (!rule || rule->kind != protocol::ReplyKind::Store)
        return nullptr;
    const auto it = std::find_if(kSettings.begin(), kSettings.end(),
                                 [rule](const Setting& s) { return s.command.field == rule->field; });
    return it == kSettings.end() ? nullptr : &*it;
}

std::string setting_text(const Setting& setting, int value)
{
    return std::string(setting.name) + ' ' + word_of(setting, value);
}

std::string assignments_text(std::span<const Assignment> assignments)
{
    return joined(assignments, ", ", [](const Assignment& a) { return setting_text(*a.setting, a.value); });
}

std::string status_text(const DeviceState& s)
{
    return each_setting(s, "\n", setting_text) + '\n';
}

std::string status_pairs(const DeviceState& s)
{
    return each_setting(s, " ", setting_text);
}

std::string status_json(const DeviceState& s)
{
    return '{' + each_setting(s, ", ", json_pair) + '}';
}

std::optional<std::string> watch_line(const protocol::Frame& frame, bool json)
{
    const Setting* setting = reported_setting(frame);
    if (!setting)
        return std::nullopt;
    return json ? '{' + json_pair(*setting, frame.value) + '}' : setting_text(*setting, frame.value);
}

}  // namespace plenvo::control
