// Any bytes from a client of the control protocol, in chunks of any size:
// the lines the splitter cuts are the ones a plain reading of the whole
// stream finds, no line passes the cap, every line gets a valid command or
// a one-line error, and a valid `set` says the same when written back.
// The same bytes as a preset file: read or refused line by line, and a
// preset that reads applies nothing twice.
//
// The input is a run of chunks, each:
//   length  1 byte
//   bytes   `length` bytes of the stream (fewer where the input ends)

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/line_splitter.h"
#include "control/preset.h"
#include "control/request.h"
#include "control/status.h"
#include "fuzz_check.h"

namespace {

using namespace plenvo;
using namespace plenvo::control;
using fuzz::require;
using Line = LineSplitter::Line;

std::vector<std::string_view> chunks_of(std::string_view data, std::string& stream)
{
    std::vector<std::string_view> chunks;
    while (!data.empty()) {
        const size_t length = static_cast<unsigned char>(data.front());
        data.remove_prefix(1);
        chunks.push_back(data.substr(0, length));
        stream += chunks.back();
        data.remove_prefix(chunks.back().size());
    }
    return chunks;
}

std::string_view without_cr(std::string_view line)
{
    return line.ends_with('\r') ? line.substr(0, line.size() - 1) : line;
}

// The lines of the whole stream read at once; `last` is what is left after
// the last LF, when the end of the connection still makes it a line.
std::vector<Line> plain_reading(std::string_view stream, std::optional<Line>& last)
{
    std::vector<Line> lines;
    for (size_t end; (end = stream.find('\n')) != std::string_view::npos; stream.remove_prefix(end + 1)) {
        const std::string_view line = without_cr(stream.substr(0, end));
        lines.push_back(line.size() > kMaxLine ? Line{{}, true} : Line{std::string(line), false});
    }
    // Cut off by the end, a line is overlong only once it cannot be a full
    // line waiting for the LF of its CR LF.
    const bool overlong = stream.size() > kMaxLine + 1 || (stream.size() == kMaxLine + 1 && !stream.ends_with('\r'));
    if (overlong)
        lines.push_back({{}, true});
    else if (!stream.empty())
        last = Line{std::string(without_cr(stream)), false};
    return lines;
}

void check_one_line(std::string_view answer)
{
    require(std::all_of(answer.begin(), answer.end(), [](char c) { return c >= 0x20 && c < 0x7F; }),
            "an answer holds a byte that is not printable text");
}

void check_request(const Line& line)
{
    require(line.text.size() <= kMaxLine, "a line passed the cap");
    if (line.overlong)
        return;
    const Request request = parse_request(line.text);
    if (!request.error.empty()) {
        require(request.settings.empty(), "a refused line carries settings");
        check_one_line(error_answer(request.error));
        return;
    }
    require(std::all_of(line.text.begin(), line.text.end(), [](char c) { return c >= 0x20 || c == '\t'; }),
            "a line with control bytes was taken");
    require((request.verb == Verb::Set) == !request.settings.empty(), "settings outside a set, or a set without");
    if (request.verb != Verb::Set)
        return;
    std::string written = "set";
    for (const Assignment& a : request.settings) {
        require(settable(*a.setting, a.value), "a set took a value that cannot be sent");
        written += ' ' + setting_text(*a.setting, a.value);
    }
    require(parse_request(written).settings == request.settings, "a set reads differently written back");
}

void check_preset(std::string_view text)
{
    const PresetRead read = parse_preset(text);
    for (const std::string& error : read.errors)
        require(error.starts_with("line ") || error == "further lines not checked", "an error names no line");
    if (!read.errors.empty())
        return;

    DeviceState applied;
    applied.set_start_up_values();
    for (const Assignment& step : plan_load(read.preset, applied).steps)
        write(*step.setting, step.value, applied);
    const LoadPlan again = plan_load(read.preset, applied);
    require(again.steps.empty(), "a preset once applied has more to send");
    require(again.held_back.empty() || applied.power_state != 1, "a unit that is on holds a setting back");
    require(parse_preset(format_preset(applied)).errors.empty(), "a saved preset does not read");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string stream;
    const std::vector<std::string_view> chunks = chunks_of({reinterpret_cast<const char*>(data), size}, stream);

    LineSplitter splitter;
    std::vector<Line> lines;
    for (const std::string_view chunk : chunks)
        for (Line& line : splitter.feed(chunk))
            lines.push_back(std::move(line));
    std::optional<Line> expected_last;
    require(lines == plain_reading(stream, expected_last), "the lines differ from a plain reading of the stream");
    require(splitter.finish() == expected_last, "the line cut off by the end differs from a plain reading");
    for (const Line& line : lines)
        check_request(line);

    check_preset(stream);
    return 0;
}
