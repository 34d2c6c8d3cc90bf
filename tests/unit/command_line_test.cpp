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

TEST(CommandLine, EveryOptionTakesOneDashOrTwoAndItsValueAfterABlankOrAnEqualsSign)
{
    const QStringList forms[] = {
        {"--com1", "/dev/ttyUSB0"}, {"--com1=/dev/ttyUSB0"}, {"-com1", "/dev/ttyUSB0"}, {"-com1=/dev/ttyUSB0"}};
    for (const QStringList& form : forms) {
        const CommandLine options = parse(form + QStringList{"-trace"});
        EXPECT_FALSE(options.exit_status) << form.join(' ').toStdString();
        EXPECT_EQ(device_for_port(options, 1), "/dev/ttyUSB0") << form.join(' ').toStdString();
        EXPECT_TRUE(options.trace);
    }
    EXPECT_EQ(device_for_port(parse({"--com2=/dev/ttyUSB1=x"}), 2), "/dev/ttyUSB1=x") << "only the first = splits";
}

TEST(CommandLine, HelpAndVersionEndTheProgramWithStatusZeroWhateverTheirForm)
{
    for (const QString form : {"-h", "-help", "--help", "-version", "--version"}) {
        const CommandLine options = parse({"--com1", "/dev/ttyUSB0", form});
        ASSERT_TRUE(options.exit_status) << form.toStdString();
        EXPECT_EQ(*options.exit_status, 0) << form.toStdString();
        EXPECT_EQ(options.output, form.endsWith(QLatin1String("version")) ? version_text() : usage_text());
    }
    for (const char* shown : {"--com1 DEVICE", "-h, --help", "/dev/ttyS0", "/dev/ttyS1"})
        EXPECT_TRUE(usage_text().contains(QLatin1String(shown))) << shown;
    EXPECT_TRUE(version_text().startsWith(QLatin1String("plenvo ")) && version_text().endsWith(" (v 1.42H)\n"))
        << version_text().toStdString();
}

TEST(CommandLine, MistakesEndTheProgramWithStatusTwoAndNameTheOption)
{
    struct Case {
        QStringList arguments;
        const char* told;
    };
    const Case cases[] = {
        {{"--frobnicate"}, "unknown option: --frobnicate"},
        {{"-x"}, "unknown option: -x"},
        {{"/dev/ttyUSB0"}, "unexpected argument: /dev/ttyUSB0"},
        {{"--com1"}, "--com1 needs a device"},
        {{"-com2", ""}, "-com2 needs a device"},
        {{"--com1="}, "--com1 needs a device"},
        {{"--com1", "--trace"}, "--com1 needs a device"},
        {{"--trace=yes"}, "--trace takes no value"},
        {{"-platform"}, "-platform needs a value"},
        {{"-platform=offscreen"}, "-platform takes its value after a blank"},
        {{"-reverse=1"}, "-reverse takes no value"},
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

TEST(CommandLine, QtsOwnOptionsAndTheirValuesAreLeftToQt)
{
    const CommandLine options =
        parse({"-platform", "offscreen", "--com1", "/tmp/unit", "--display", ":3", "-reverse", "-style=fusion",
               "-geometry", "-0+0", "-stylesheet", "a.qss", "--trace"});
    EXPECT_FALSE(options.exit_status) << options.output.toStdString();
    EXPECT_TRUE(options.trace);
    EXPECT_EQ(device_for_port(options, 1), "/tmp/unit");
    EXPECT_EQ(options.devices.size(), 1u);
}

}  // namespace
}  // namespace plenvo::testing
