// The panel's own options, and the devices that stand behind the two ports.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/command_line.h"
#include "windows/frm_main.h"
#include "devices/port_devices.h"
#include "support/test_files.h"

namespace plenvo::testing {
namespace {

CommandLine parse(QStringList arguments)
{
    arguments.prepend(QStringLiteral("plenvo"));
    return parse_command_line(arguments);
}

using Devices = std::map<int, QString>;

TEST(CommandLine, NoOptionsMeanNoDevicesAndNoTrace)
{
    const CommandLine options = parse({});
    EXPECT_FALSE(options.exit_status);
    EXPECT_FALSE(options.trace);
    EXPECT_FALSE(options.headless);
    EXPECT_TRUE(options.devices.empty());
}

TEST(CommandLine, EachPortTakesItsOwnDevice)
{
    const CommandLine options = parse({"--trace", "--com2", "/dev/ttyUSB0"});
    EXPECT_FALSE(options.exit_status);
    EXPECT_TRUE(options.trace);
    EXPECT_EQ(options.devices, (Devices{{2, "/dev/ttyUSB0"}}));

    const CommandLine both = parse({"--com1", "socket://10.0.0.5:4999", "--com2", "/dev/pts/7"});
    EXPECT_EQ(both.devices, (Devices{{1, "socket://10.0.0.5:4999"}, {2, "/dev/pts/7"}}));
}

TEST(CommandLine, TheDevicesGivenAreKeptForLaterRunsAndThePortNotNamedKeepsItsOwn)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(kDevicesFileName);
    for (const QStringList& run : {QStringList{"--com1", "/dev/pts/3", "--com2", "rfc2217://unit:4001"},
                                   QStringList{"--com1=/dev/serial/by-id/usb-A"}}) {
        PortDevices devices(path);
        EXPECT_TRUE(remember_devices(parse(run), devices).isEmpty());
    }
    const PortDevices next_run(path);
    EXPECT_EQ(next_run.device(1), "/dev/serial/by-id/usb-A");
    EXPECT_EQ(next_run.device(2), "rfc2217://unit:4001");

    // The device the file holds already: the hand-edited file stays as it is.
    const QByteArray edited = "; the hall's scaler\ncom1=/dev/serial/by-id/usb-A\ncom2=rfc2217://unit:4001\n";
    put(path, edited);
    PortDevices again(path);
    EXPECT_TRUE(remember_devices(parse({"--com1", "/dev/serial/by-id/usb-A"}), again).isEmpty());
    QFile kept(path);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), edited);

    ASSERT_TRUE(QFile::remove(path) && QDir().mkdir(path));
    PortDevices blocked(path);
    const QStringList failures = remember_devices(parse({"--com2", "/dev/ttyUSB1"}), blocked);
    EXPECT_TRUE(failures.size() == 1 && failures[0].contains(path)) << failures.join('\n').toStdString();
}

TEST(CommandLine, EveryOptionTakesOneDashOrTwoAndItsValueAfterABlankOrAnEqualsSign)
{
    const QStringList forms[] = {
        {"--com1", "/dev/ttyUSB0"}, {"--com1=/dev/ttyUSB0"}, {"-com1", "/dev/ttyUSB0"}, {"-com1=/dev/ttyUSB0"}};
    for (const QStringList& form : forms) {
        const CommandLine options = parse(form + QStringList{"-trace"});
        EXPECT_FALSE(options.exit_status) << form.join(' ').toStdString();
        EXPECT_EQ(options.devices, (Devices{{1, "/dev/ttyUSB0"}})) << form.join(' ').toStdString();
        EXPECT_TRUE(options.trace);
    }
    EXPECT_EQ(parse({"--com2=/dev/ttyUSB1=x"}).devices, (Devices{{2, "/dev/ttyUSB1=x"}})) << "only the first = splits";
    for (const QString form : {"-headless", "--headless"})
        EXPECT_TRUE(parse({"--listen", "4998", form}).headless) << form.toStdString();
    const CommandLine both = parse({"--listen=4998", "-web", "0.0.0.0:8080"});
    EXPECT_EQ(both.listen, (ListenAddress{"127.0.0.1", 4998}));
    EXPECT_EQ(both.web, (ListenAddress{"0.0.0.0", 8080}));
}

TEST(CommandLine, HelpAndVersionEndTheProgramWithStatusZeroWhateverTheirForm)
{
    for (const QString form : {"-h", "-help", "--help", "-version", "--version"}) {
        const CommandLine options = parse({"--com1", "/dev/ttyUSB0", form});
        ASSERT_TRUE(options.exit_status) << form.toStdString();
        EXPECT_EQ(*options.exit_status, 0) << form.toStdString();
        EXPECT_EQ(options.output, form.endsWith(QLatin1String("version")) ? version_text() : usage_text());
    }
    for (const char* shown : {"--com1 DEVICE", "--headless", "-h, --help", "/dev/ttyS0", "/dev/ttyS1", "plenvo-devices.ini"})
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
        {{"--com1", "socket://unit"}, "--com1: socket://unit: no port number"},
        {{"-com2=rfc2217://:4001"}, "-com2: rfc2217://:4001: no host"},
        {{"--com2", "ftp://unit:21"}, "--com2: ftp://unit:21: unknown kind of line"},
        {{"--com1", "/dev/tty\nUSB0"}, "--com1: /dev/tty USB0: a device name holds no control characters"},
        {{"--trace=yes"}, "--trace takes no value"},
        {{"--headless=1"}, "--headless takes no value"},
        {{"--web", "0.0.0.0:70000"}, "--web: the port must be a number from 1 to 65535"},
        {{"--web=rack:8080"}, "--web: the host must be an IP address"},
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
    EXPECT_EQ(options.devices, (Devices{{1, "/tmp/unit"}}));
}

}  // namespace
}  // namespace plenvo::testing
