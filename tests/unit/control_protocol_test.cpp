// The control protocol's commands as a client types them, the errors a bad
// line gets, and the cutting of a connection's bytes into lines whatever
// the chunks and however long a line runs.

#include <gtest/gtest.h>

#include "control/request.h"

namespace plenvo::control {
namespace {

using Line = LineSplitter::Line;

Line text_line(std::string text)
{
    return {std::move(text), false};
}

const Line kOverlong{{}, true};

std::string error_of(std::string_view line)
{
    const Request request = parse_request(line);
    EXPECT_FALSE(request.error.empty()) << line;
    return request.error;
}

TEST(ControlRequest, ReadsEveryCommandInAnyCase)
{
    struct Case {
        const char* line;
        Verb verb;
        bool json;
    };
    for (const Case& c : {Case{"status", Verb::Status, false}, Case{"  Status  JSON ", Verb::Status, true},
                          Case{"watch", Verb::Watch, false}, Case{"WATCH json", Verb::Watch, true},
                          Case{"status --json", Verb::Status, true}, Case{"watch --JSON", Verb::Watch, true},
                          Case{"raise", Verb::Raise, false}, Case{"ping", Verb::Ping, false},
                          Case{"help", Verb::Help, false}, Case{"web", Verb::Web, false}, Case{"", Verb::None, false}, Case{" \t ", Verb::None, false}}) {
        const Request request = parse_request(c.line);
        EXPECT_EQ(request.error, "") << c.line;
        EXPECT_EQ(request.verb, c.verb) << c.line;
        EXPECT_EQ(request.json, c.json) << c.line;
    }

    EXPECT_EQ(parse_request("set colour 20").settings, (std::vector<Assignment>{{find_setting("color"), 20}}));

    // What a second start hands over: a device runs to the line's end.
    const Request device = parse_request("device 2  /dev/serial/by-id/usb My Adapter  ");
    EXPECT_EQ(device.verb, Verb::Device);
    EXPECT_EQ(device.port, 2);
    EXPECT_EQ(device.argument, "/dev/serial/by-id/usb My Adapter");
    EXPECT_EQ(parse_request("LISTEN [::1]:4998").argument, "[::1]:4998");

    const Request set = parse_request("SET Output 720P  bright 40 lock on output vga");
    ASSERT_EQ(set.error, "");
    EXPECT_EQ(set.verb, Verb::Set);
    EXPECT_EQ(set.settings, (std::vector<Assignment>{{find_setting("output"), 6}, {find_setting("bright"), 40},
                                                     {find_setting("lock"), 0}, {find_setting("output"), 0}}))
        << "in the order given, repeats included";
}

TEST(ControlRequest, TheStatusAnswerIsASetThatRestoresEverySetting)
{
    DeviceState s;
    s.set_start_up_values();
    s.power_state = 1;
    s.output_format = 7;
    s.adj_fp = 0;
    s.video_vo = 0;
    const std::string answer = status_answer(s, false);
    ASSERT_TRUE(answer.starts_with("ok power on input cv output 1080i ")) << answer;
    const Request set = parse_request("set" + answer.substr(2));
    ASSERT_EQ(set.error, "");
    DeviceState restored;
    for (const Assignment& a : set.settings)
        write(*a.setting, a.value, restored);
    restored.port_ok = s.port_ok;
    EXPECT_EQ(restored, s);
    EXPECT_TRUE(status_answer(s, true).starts_with(R"(ok {"power": "on")"));
}

TEST(ControlRequest, ErrorsNameTheFaultAndWhatIsValid)
{
    EXPECT_EQ(error_of("stat"), "unknown command \"stat\" (commands: status [json | --json], set NAME VALUE [NAME VALUE ...], "
                                "watch [json | --json], raise, device PORT DEVICE, listen [HOST:]PORT, ping, help, web)");
    for (const char* line : {"device 3 /dev/ttyS0", "device 1", "listen", "listen 1 2"})
        EXPECT_TRUE(error_of(line).starts_with("usage: ")) << line;
    EXPECT_EQ(error_of("status xml"), "usage: status [json | --json]");
    EXPECT_EQ(error_of("watch json now"), "usage: watch [json | --json]");
    EXPECT_EQ(error_of("ping pong"), "usage: ping");
    EXPECT_TRUE(error_of("set").starts_with("set needs a name and a value (settings: power, input,"));
    EXPECT_EQ(error_of("set bright 40 volume"), "no value for volume (values: 0 to 63)");
    EXPECT_EQ(error_of("set bright 40 power maybe"), "bad value \"maybe\" for power (values: on, off)");
    EXPECT_TRUE(error_of("set bright 40 brite 4").starts_with("unknown setting \"brite\" (settings: power, input,"));
    EXPECT_TRUE(parse_request("set bright 40 brite 4").settings.empty()) << "nothing of a bad line is carried out";

    EXPECT_TRUE(help_answer().starts_with("ok commands: status [json | --json], set ")) << help_answer();
}

TEST(ControlRequest, RefusesBinaryBytesAndOverlongLines)
{
    using namespace std::string_literals;
    EXPECT_EQ(error_of("sta\0tus"s), "a byte that is not text (0x00)");
    EXPECT_EQ(error_of("status\r"), "a byte that is not text (0x0D)");
    EXPECT_EQ(error_of("set input \xC3\xA9"), "a byte that is not text (0xC3)");
    EXPECT_EQ(error_of("\x1B[A"), "a byte that is not text (0x1B)");
    EXPECT_EQ(error_of("ping\x7F"), "a byte that is not text (0x7F)");

    const std::string longest = "ping" + std::string(kMaxLine - 4, ' ');
    EXPECT_EQ(parse_request(longest).verb, Verb::Ping);
    EXPECT_EQ(error_of(longest + ' '), "line longer than 1024 bytes");
}

TEST(LineSplitter, CutsLinesAtLfAndCrLfWhereverTheChunksEnd)
{
    const std::string stream = "status\r\nset bright 40\n\nping\r";
    LineSplitter whole;
    const std::vector<Line> expected{text_line("status"), text_line("set bright 40"), text_line("")};
    EXPECT_EQ(whole.feed(stream), expected);

    for (size_t cut = 0; cut <= stream.size(); ++cut) {
        LineSplitter split;
        std::vector<Line> lines = split.feed(stream.substr(0, cut));
        for (Line& line : split.feed(stream.substr(cut)))
            lines.push_back(std::move(line));
        EXPECT_EQ(lines, expected) << cut;
        EXPECT_EQ(split.finish(), text_line("ping")) << "the last line, cut off by the end of the connection";
        EXPECT_EQ(split.finish(), std::nullopt);
    }
}

TEST(LineSplitter, ReportsAnOverlongLineOnceAtTheCapAndDropsItsRest)
{
    const std::string full(kMaxLine, 'x');
    LineSplitter splitter;
    EXPECT_EQ(splitter.feed(full + "\r"), std::vector<Line>{});
    EXPECT_EQ(splitter.feed("\n"), std::vector<Line>{text_line(full)}) << "the cap does not count the CR of CR LF";

    EXPECT_EQ(splitter.feed(full), std::vector<Line>{});
    EXPECT_EQ(splitter.feed("y"), std::vector<Line>{kOverlong}) << "answered before the line ends";
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(splitter.feed(full), std::vector<Line>{});
    EXPECT_EQ(splitter.feed("\r\nping\n"), std::vector<Line>{text_line("ping")});

    EXPECT_EQ(splitter.feed(full + "\r\r\n"), (std::vector<Line>{kOverlong}));
    EXPECT_EQ(splitter.feed(full + "z"), (std::vector<Line>{kOverlong}));
    EXPECT_EQ(splitter.finish(), std::nullopt) << "nothing of the dropped line is left";
}

}  // namespace
}  // namespace plenvo::control
