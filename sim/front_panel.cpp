#include "sim/front_panel.h"

#include <charconv>
#include <sstream>
#include <vector>

namespace plenvo::sim {

namespace {

std::vector<std::string_view> split_words(std::string_view line)
{
    std::vector<std::string_view> words;
    constexpr std::string_view kBlanks = " \t\r";
    size_t start = line.find_first_not_of(kBlanks);
    while (start != std::string_view::npos) {
        const size_t end = line.find_first_of(kBlanks, start);
        words.push_back(line.substr(start, end - start));
        start = line.find_first_not_of(kBlanks, end);
    }
    return words;
}

template <typename Number>
std::optional<Number> parse_number(std::string_view word)
{
    Number value{};
    const char* end = word.data() + word.size();
    auto [stop, error] = std::from_chars(word.data(), end, value);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

std::optional<uint8_t> parse_byte(std::string_view word)
{
    const auto value = parse_number<int>(word);
    if (!value || *value < 0 || *value > 255)
        return std::nullopt;
    return uint8_t(*value);
}

using Words = std::vector<std::string_view>;

bool known(std::string_view letters)
{
    if (letters == "OK")
        return true;
    for (const protocol::Command& setting : protocol::kStateReportOrder)
        if (letters[0] == setting.first && letters[1] == setting.second)
            return true;
    return false;
}

std::optional<PanelCommand> parse_send(const Words& words)
{
    if (words.size() != 3 || words[1].size() != 2 || !known(words[1]))
        return std::nullopt;
    const auto value = parse_byte(words[2]);
    if (!value)
        return std::nullopt;
    return SendReport{{uint8_t(words[1][0]), uint8_t(words[1][1]), *value}};
}

std::optional<PanelCommand> parse_byte_command(const Words& words)
{
    if (words.size() != 2)
        return std::nullopt;
    const auto value = parse_byte(words[1]);
    if (!value)
        return std::nullopt;
    return SendByte{*value};
}

std::optional<PanelCommand> parse_mute(const Words& words)
{
    if (words.size() == 2 && (words[1] == "on" || words[1] == "off"))
        return SetMute{words[1] == "on"};
    return std::nullopt;
}

std::optional<PanelCommand> parse_flood(const Words& words)
{
    if (words.size() != 2)
        return std::nullopt;
    const auto seconds = parse_number<double>(words[1]);
    if (!seconds || !(*seconds > 0 && *seconds <= kLongestFloodSeconds))
        return std::nullopt;
    return StartFlood{*seconds};
}

template <typename Command>
std::optional<PanelCommand> parse_bare(const Words& words)
{
    if (words.size() != 1)
        return std::nullopt;
    return Command{};
}

struct Verb {
    std::string_view name;
    std::optional<PanelCommand> (*parse)(const Words&);
};

constexpr Verb kVerbs[] = {
    {"send", parse_send},
    {"byte", parse_byte_command},
    {"mute", parse_mute},
    {"state", parse_bare<ShowState>},
    {"flood", parse_flood},
    {"quit", parse_bare<Quit>},
};

}  // namespace

std::optional<PanelCommand> parse_panel_line(std::string_view line)
{
    const Words words = split_words(line);
    if (words.empty())
        return EmptyLine{};
    for (const Verb& verb : kVerbs) {
        if (verb.name == words[0])
            return verb.parse(words);
    }
    return std::nullopt;
}

std::string panel_line_mistake(std::string_view line)
{
    const Words words = split_words(line);
    if (words.size() >= 2 && words[0] == "send" && words[1].size() == 2 && !known(words[1]))
        return "unknown letters " + std::string(words[1]) + " (letters: " + known_letters() + ")";
    return {};
}

std::string known_letters()
{
    std::string letters;
    for (const protocol::Command& setting : protocol::kStateReportOrder)
        letters += std::string{setting.first, setting.second, ' '};
    return letters + "OK";
}

std::string state_line(const DeviceState& state)
{
    std::ostringstream line;
    line << "state";
    for (const protocol::Command& setting : protocol::kStateReportOrder)
        line << ' ' << setting.first << setting.second << ' ' << state.*(setting.field);
    return line.str();
}

}  // namespace plenvo::sim
