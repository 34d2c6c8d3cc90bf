// The panel's own options, and the devices that stand behind the two ports.

#include <gtest/gtest.h>

#include "app/command_line.h"
#include "app/frm_main.h"

namespace plenvo::testing {
namespace {

CommandLine parse(QStringList arguments)
{
    arguments.prepend(QStringLiteral("plenvo"));
    return parse_command_line(arguments);
}

TEST(CommandLine, NoOptionsMeanTheDefaultDevicesAndNoTrace)
{
    const CommandLine options = parse({});
    EXPECT_FALSE(options.exit_status);
    EXPECT_FALSE(options.trace);
    EXPECT_TRUE(options.devices.empty());
    EXPECT_EQ(device_for_port(options, 1), "/dev/ttyS0");
    EXPECT_EQ(device_for_port(options, 2), "/dev/ttyS1");
}

TEST(CommandLine, EachPortTakesItsOwnDeviceAndTheOtherKeepsTheDefault)
{
    const CommandLine options = parse({"--trace", "--com2", "/dev/ttyUSB0"});
    EXPECT_FALSE(options.exit_status);
    EXPECT_TRUE(options.trace);
    EXPECT_EQ(device_for_port(options, 1), "/dev/ttyS0");
    EXPECT_EQ(device_for_port(options, 2), "/dev/ttyUSB0");

    const CommandLine both = parse({"--com1", "/tmp/unit", "--com2", "/dev/pts/7"});
    EXPECT_EQ(device_for_port(both, 1), "/tmp/unit");
    EXPECT_EQ(device_for_port(both, 2), "/dev/pts/7");
}

TEST(CommandLine, HelpAndVersionEndTheProgramWithStatusZero)
{
    const CommandLine help = parse({"--com1", "/dev/ttyUSB0", "--help"});
    ASSERT_TRUE(help.exit_status);
    EXPECT_EQ(*help.exit_status, 0);
    EXPECT_EQ(help.output, usage_text());
    for (const char* option : {"--com1 DEVICE", "--com2 DEVICE", "--trace", "--help", "--version", "/dev/ttyS0"})
        EXPECT_TRUE(help.output.contains(QLatin1String(option))) << option;

    const CommandLine version = parse({"--version"});
    ASSERT_TRUE(version.exit_status);
    EXPECT_EQ(*version.exit_status, 0);
    EXPECT_EQ(version.output, QString::fromLatin1(kVersion) + '\n');
}

TEST(CommandLine, MistakesEndTheProgramWithStatusTwoAndSaySo)
{
    struct Case {
        QStringList arguments;
        const char* told;
    };
    const Case cases[] = {
        {{"--frobnicate"}, "unknown option: --frobnicate"},
        {{"/dev/ttyUSB0"}, "unknown option: /dev/ttyUSB0"},
        {{"--com1"}, "--com1 needs a device"},
        {{"--com2", ""}, "--com2 needs a device"},
        // An unknown option stops the reading before a later --help.
        {{"--bogus", "--help"}, "unknown option: --bogus"},
    };
    for (const Case& c : cases) {
        const CommandLine options = parse(c.arguments);
        ASSERT_TRUE(options.exit_status) << c.told;
        EXPECT_EQ(*options.exit_status, 2) << c.told;
        EXPECT_TRUE(options.output.startsWith(QLatin1String(c.told))) << options.output.toStdString();
        EXPECT_TRUE(options.output.contains(QLatin1String("--help"))) << c.told;
    }
}

TEST(CommandLine, QtsSingleDashOptionsAndTheirValuesAreLeftToQt)
{
    const CommandLine options =
        parse({"-platform", "offscreen", "--com1", "/tmp/unit", "-display", ":3", "-reverse", "--trace"});
    EXPECT_FALSE(options.exit_status);
    EXPECT_TRUE(options.trace);
    EXPECT_EQ(device_for_port(options, 1), "/tmp/unit");
    EXPECT_EQ(options.devices.size(), 1u);
}

}  // namespace
}  // namespace plenvo::testing
