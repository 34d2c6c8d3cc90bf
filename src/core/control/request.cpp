#include "control/request.h"

#include <algorithm>
#include <array>
#include <span>

#include "control/status.h"
#include "control/text.h"

namespace plenvo::control {

namespace {

constexpr std::string_view kErrorPrefix = "error ";

enum class Arguments { None, Json, Pairs, PortAndRest, One };

struct ControlCommand {
    const char* name;
    Verb verb;
    Arguments arguments;
    const char* usage;
};

constexpr std::array kCommands{
    ControlCommand{"status", Verb::Status, Arguments::Json, "status [json | --json]"},
    ControlCommand{"set", Verb::Set, Arguments::Pairs, "set NAME VALUE [NAME VALUE ...]"},
    ControlCommand{"watch", Verb::Watch, Arguments::Json, "watch [json | --json]"},
    ControlCommand{"raise", Verb::Raise, Arguments::None, "raise"},
    ControlCommand{"device", Verb::Device, Arguments::PortAndRest, "device PORT DEVICE"},
    ControlCommand{"listen", Verb::Listen, Arguments::One, "listen [HOST:]PORT"},
    ControlCommand{"ping", Verb::Ping, Arguments::None, "ping"},
    ControlCommand{"help", Verb::Help, Arguments::None, "help"},
    ControlCommand{"web", Verb::Web, Arguments::None, "web"},
};

bool is_text(char c)
{
    return !is_control_byte(c) && static_cast<unsigned char>(c) < 0x80;
}

std::string usages()
{
    return joined(kCommands, ", ", [](const ControlCommand& c) { return c.usage; });
}

std::string too_long()
{
    return "line longer than " + std::to_string(kMaxLine) + " bytes";
}

Request failed(std::string reason)
{
    Request request;
    request.error = std::move(reason);
    return request;
}

Request with_pairs(Request request, std::span<const std::string_view> words)
{
    if (words.empty())
        return failed("set needs a name and a value (settings: " + valid_names() + ")");
    for (size_t i = 0; i < words.size(); i += 2) {
        std::string error;
        const std::optional<Assignment> assignment = parse_assignment(words[i], word_after(words, i), error);
        if (!assignment)
            return failed(error);
        request.settings.push_back(*assignment);
    }
    return request;
}

}  // namespace

Request parse_request(std::string_view line)
{
    if (line.size() > kMaxLine)
        return failed(too_long());
    const auto binary = std::find_if_not(line.begin(), line.end(), is_text);
    if (binary != line.end())
        return failed("a byte that is not text (" + byte_name(*binary) + ")");

    const std::vector<std::string_view> words = words_of(line);
    if (words.empty())
        return {};
    const auto command = std::find_if(kCommands.begin(), kCommands.end(),
                                      [&](const ControlCommand& c) { return same_word(c.name, words[0]); });
    if (command == kCommands.end())
        return failed("unknown command " + quoted(words[0]) + " (commands: " + usages() + ")");

    Request request;
    request.verb = command->verb;
    const std::span<const std::string_view> arguments = std::span(words).subspan(1);
    switch (command->arguments) {
    case Arguments::Pairs: return with_pairs(std::move(request), arguments);
    case Arguments::PortAndRest:
        if (arguments.size() >= 2 && (arguments[0] == "1" || arguments[0] == "2")) {
            request.port = arguments[0][0] - '0';
            // A device name may hold blanks: it runs to the end of the line.
            const auto rest = line.substr(size_t(arguments[1].data() - line.data()));
            request.argument = std::string(rest.substr(0, rest.find_last_not_of(" \t") + 1));
            return request;
        }
        break;
    case Arguments::One:
        if (arguments.size() == 1) {
            request.argument = std::string(arguments[0]);
            return request;
        }
        break;
    case Arguments::Json:
        // plenvo-ctl's option is taken as the word.
        request.json = arguments.size() == 1 && (same_word(arguments[0], "json") || same_word(arguments[0], "--json"));
        if (arguments.empty() || request.json)
            return request;
        break;
    case Arguments::None:
        if (arguments.empty())
            return request;
        break;
    }
    return failed("usage: " + std::string(command->usage));
}

Request parse_request(const LineSplitter::Line& line)
{
    return line.overlong ? failed(too_long()) : parse_request(line.text);
}

std::string ok_answer(std::string_view text)
{
    return text.empty() ? "ok" : "ok " + std::string(text);
}

std::string error_answer(std::string_view reason)
{
    return std::string(kErrorPrefix) + std::string(reason);
}

std::optional<std::string> error_reason(std::string_view answer)
{
    if (!answer.starts_with(kErrorPrefix))
        return std::nullopt;
    return std::string(answer.substr(kErrorPrefix.size()));
}

std::string status_answer(const DeviceState& s, bool json)
{
    return ok_answer(json ? status_json(s) : status_pairs(s));
}

std::string help_answer()
{
    return ok_answer("commands: " + usages() + "; settings: " + valid_names());
}

}  // namespace plenvo::control
