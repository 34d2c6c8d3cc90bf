// Presets: what is saved loads back to nothing to send, a hand-edited file
// is read as a person means it, a faulty one names its lines, and loading
// sends only what differs in an order the unit takes.

#include <gtest/gtest.h>

#include "control/preset.h"

namespace plenvo::control {
namespace {

size_t place_of(std::string_view name)
{
    return size_t(find_setting(name) - kSettings.data());
}

DeviceState unit_on()
{
    DeviceState s;
    s.set_start_up_values();
    s.power_state = 1;
    return s;
}

Preset read_cleanly(std::string_view text)
{
    const PresetRead read = parse_preset(text);
    EXPECT_TRUE(read.errors.empty()) << read.errors.front();
    return read.preset;
}

// The frames a load sends, as "PW1 BY1 IN4".
std::string sent(const LoadPlan& plan)
{
    std::string text;
    for (const Assignment& step : plan.steps) {
        const protocol::Frame frame = frame_of(step);
        if (!text.empty())
            text += ' ';
        text += {char(frame.first), char(frame.second)};
        text += std::to_string(frame.value);
    }
    return text;
}

std::vector<std::string> errors_of(std::string_view text)
{
    return parse_preset(text).errors;
}

TEST(PresetRoundTrip, ASavedStateLoadsBackWithNothingToSend)
{
    DeviceState odd = unit_on();
    odd.output_format = 9;
    odd.video_br = 200;
    odd.adj_as = 0;
    odd.adj_fp = 0;
    DeviceState off;
    off.set_start_up_values();
    for (const DeviceState& s : {unit_on(), odd, off}) {
        const std::string text = format_preset(s);
        const LoadPlan plan = plan_load(read_cleanly(text), s);
        EXPECT_TRUE(plan.steps.empty() && plan.held_back.empty() && plan.error.empty()) << text;
    }
    const std::string text = format_preset(odd);
    EXPECT_NE(text.find("\n# output 9 "), std::string::npos) << "kept, as a comment";
    EXPECT_NE(text.find("\nlock on\n"), std::string::npos);
    EXPECT_FALSE(read_cleanly(text).values[place_of("output")]) << "left alone on load";
}

TEST(PresetRead, TakesCommentsBlanksCaseCrLfAndAByteOrderMark)
{
    const Preset preset = read_cleanly("\xEF\xBB\xBF# evenings\r\n\r\n  POWER\tOn  \r\nbright 40 # a bit brighter\n"
                                       "   \n# input pc\nAspect 16:9");
    Preset expected;
    expected.values[place_of("power")] = 1;
    expected.values[place_of("aspect")] = 0;
    expected.values[place_of("bright")] = 40;
    EXPECT_EQ(preset, expected);
}

TEST(PresetRead, NamesEveryBadLineAndWhatIsWrongWithIt)
{
    EXPECT_EQ(errors_of("power on\n\nbrite 4\ninput hdmi\nbright\noutput 720p 1080i\npower off\nnr o\x01n\n"),
              (std::vector<std::string>{
                  "line 3: unknown setting \"brite\" (settings: power, input, output, bypass, display, aspect, ir, "
                  "lock, enhance, nr, osd, blank, freeze, bright, contrast, color, sharp, tint, volume)",
                  "line 4: bad value \"hdmi\" for input (values: cv, sv, yuv, pc, bypass)",
                  "line 5: no value for bright (values: 0 to 63)",
                  "line 6: more than a name and a value",
                  "line 7: power is set again (first on line 1)",
                  "line 8: a byte that is not text (0x01)",
              }));

    std::string junk;
    for (int i = 0; i < 50; ++i)
        junk += "x\n";
    const std::vector<std::string> errors = errors_of(junk);
    ASSERT_EQ(errors.size(), 11u);
    EXPECT_EQ(errors.back(), "further lines not checked");
}

TEST(PresetLoad, SendsOnlyWhatDiffersInReportOrder)
{
    const DeviceState s = unit_on();
    EXPECT_EQ(sent(plan_load(read_cleanly("bright 40\npower on\noutput 720p\nnr on\nlock on\n"), s)), "OU6 FP0 BR40");
}

TEST(PresetLoad, PowerOnFirstPowerOffLastAndTheBypassAllowedBeforeItIsChosen)
{
    DeviceState off;
    off.set_start_up_values();
    EXPECT_EQ(sent(plan_load(read_cleanly("input bypass\nbright 1\nbypass on\npower on\n"), off)), "PW1 BY1 IN4 BR1");
    EXPECT_EQ(sent(plan_load(read_cleanly("power off\noutput xga\n"), unit_on())), "OU3 PW0");

    DeviceState bypassed = unit_on();
    bypassed.bypass_enabled = 1;
    bypassed.input_source = protocol::kBypassInput;
    EXPECT_EQ(sent(plan_load(read_cleanly("bypass off\ninput pc\n"), bypassed)), "IN3 BY0")
        << "the input leaves the bypass before it is withdrawn";
}

TEST(PresetLoad, AUnitThatStaysOffTakesNothingButThePower)
{
    DeviceState off;
    off.set_start_up_values();
    const LoadPlan plan = plan_load(read_cleanly("power off\nbypass on\nbright 1\noutput 720p\n"), off);
    EXPECT_EQ(sent(plan), "");
    ASSERT_EQ(plan.held_back.size(), 3u);
    EXPECT_STREQ(plan.held_back[0]->name, "bypass");
    EXPECT_STREQ(plan.held_back[2]->name, "bright");

    off.power_state = 2;  // neither on nor off: stored as reported
    EXPECT_EQ(sent(plan_load(read_cleanly("power off\nbright 1\n"), off)), "PW0");
}

TEST(PresetLoad, RefusesTheBypassInputWhileTheBypassIsNotAllowed)
{
    const LoadPlan plan = plan_load(read_cleanly("power on\ninput bypass\n"), DeviceState{});
    EXPECT_TRUE(plan.steps.empty());
    EXPECT_EQ(plan.error, "input bypass needs bypass on");
}

}  // namespace
}  // namespace plenvo::control
