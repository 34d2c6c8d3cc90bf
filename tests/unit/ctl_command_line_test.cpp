// plenvo-ctl's command line, the panel's --listen address, and the status
// JSON read back into a device state.

#include <QRegularExpression>

#include <gtest/gtest.h>

#include "app/command_line.h"
#include "control/status.h"
#include "ctl/ctl_options.h"
#include "ctl/panel_unit.h"

namespace plenvo::testing {
namespace {

ctl::Options parse_ctl(QStringList arguments)
{
    arguments.prepend(QStringLiteral("plenvo-ctl"));
    return ctl::parse_arguments(arguments);
}

TEST(CtlCommandLine, CommandsTakeTheirArgumentsAndOptionsGoAnywhere)
{
    const ctl::Options set = parse_ctl({"set", "OUTPUT", "720p", "--com", "2", "bright", "40"});
    EXPECT_FALSE(set.exit_status);
    EXPECT_EQ(set.command, ctl::Command::Set);
    EXPECT_EQ(control::assignments_text(set.settings), "output 720p, bright 40");
    EXPECT_EQ(set.com, 2);
    EXPECT_FALSE(set.port);

    const ctl::Options status = parse_ctl({"--port=socket://rack:4999", "status", "--json"});
    EXPECT_EQ(status.command, ctl::Command::Status);
    EXPECT_TRUE(status.json);
    EXPECT_EQ(status.port, "socket://rack:4999");

    const ctl::Options web = parse_ctl({"--new", "WEB-URL"});
    EXPECT_EQ(web.command, ctl::Command::WebUrl);
    EXPECT_TRUE(web.new_token);
    for (const QStringList& line : {QStringList{"status", "json"}, QStringList{"watch", "JSON"}})
        EXPECT_TRUE(parse_ctl(line).json) << "the word the panel's doors take";
    EXPECT_EQ(control::assignments_text(parse_ctl({"set", "colour", "20"}).settings), "color 20");

    const ctl::Options load = parse_ctl({"load", "evening.preset"});
    EXPECT_EQ(load.command, ctl::Command::Load);
    EXPECT_EQ(load.file, "evening.preset");
}

TEST(CtlCommandLine, MistakesEndWithStatusTwoListingWhatIsValid)
{
    struct Case {
        QStringList arguments;
        const char* told;
    };
    const Case cases[] = {
        {{}, "no command (commands: status [--json | json], set NAME VALUE"},
        {{"stat"}, "unknown command \"stat\" (commands: status"},
        {{"set"}, "set needs a name and a value (settings: power, input, output,"},
        {{"set", "brite", "40"}, "unknown setting \"brite\" (settings: power,"},
        {{"set", "output", "4k"}, "bad value \"4k\" for output (values: vga, 480p,"},
        {{"set", "bright", "64"}, "bad value \"64\" for bright (values: 0 to 63)"},
        {{"set", "bright", "40", "tint"}, "no value for tint (values: 0 to 63)"},
        {{"save"}, "usage: plenvo-ctl [OPTION]... save FILE"},
        {{"ports", "extra"}, "usage: plenvo-ctl [OPTION]... ports"},
        {{"set", "power", "on", "--json"}, "--json goes with status and watch"},
        {{"status", "--com", "3"}, "--com needs a port number from 1 to 2"},
        {{"status", "--port"}, "--port needs a device or URL"},
        {{"status", "--port", "socket://unit"}, "--port: "},
        {{"status", "--port", "/dev/ttyUSB0", "--com", "1"}, "--port and --com each choose the line"},
        {{"status", "--verbose"}, "unknown option --verbose (options: --port, --com"},
        {{"status", "--new"}, "--new goes with web-url"},
        {{"web-url", "now"}, "usage: plenvo-ctl [OPTION]... web-url [--new]"},
    };
    for (const Case& c : cases) {
        const ctl::Options options = parse_ctl(c.arguments);
        ASSERT_TRUE(options.exit_status) << c.told;
        EXPECT_EQ(*options.exit_status, 2) << c.told;
        EXPECT_TRUE(options.output.startsWith(QStringLiteral("plenvo-ctl: ") + QLatin1String(c.told)))
            << options.output.toStdString();
    }
}

TEST(CtlCommandLine, HelpListsEverySettingWithItsValues)
{
    const ctl::Options help = parse_ctl({"status", "--help"});
    ASSERT_TRUE(help.exit_status);
    EXPECT_EQ(*help.exit_status, 0);
    for (const control::Setting& setting : control::kSettings)
        EXPECT_TRUE(help.output.contains(QRegularExpression(QStringLiteral("\\n  %1 +%2\\n").arg(
            QLatin1String(setting.name), QRegularExpression::escape(QString::fromStdString(control::valid_values(setting)))))))
            << setting.name;
}

TEST(ListenAddress, APortAloneListensOnThisMachineOnly)
{
    QString error;
    EXPECT_EQ(parse_listen_address("5000", error), (ListenAddress{"127.0.0.1", 5000}));
    EXPECT_EQ(parse_listen_address("0.0.0.0:23", error), (ListenAddress{"0.0.0.0", 23}));
    EXPECT_EQ(parse_listen_address("[::1]:7000", error), (ListenAddress{"::1", 7000}));
    EXPECT_EQ(parse_listen_address("[fe80::1%eth0]:80", error), (ListenAddress{"fe80::1%eth0", 80}));
    EXPECT_EQ(parse_listen_address("::ffff:10.0.0.1:80", error), (ListenAddress{"::ffff:10.0.0.1", 80}));
    EXPECT_EQ(parse_listen_address("localhost:80", error)->host, "127.0.0.1");
    EXPECT_TRUE(error.isEmpty());

    for (const char* bad : {"", "0", "65536", "x:5000", "rack.example:5000", "127.0.0.1:", "5000x", "10.0.0.256:80",
                            "[fe80::1%]:80", "[%eth0]:80", "[::1:80"}) {
        error.clear();
        EXPECT_FALSE(parse_listen_address(bad, error)) << bad;
        EXPECT_FALSE(error.isEmpty()) << bad;
    }
}

TEST(ListenAddress, IsAnOptionOfThePanel)
{
    const CommandLine options = parse_command_line({"plenvo", "--listen", "4999", "--trace"});
    EXPECT_FALSE(options.exit_status);
    ASSERT_TRUE(options.listen);
    EXPECT_EQ(options.listen->port, 4999);

    const CommandLine bad = parse_command_line({"plenvo", "--listen", "99999"});
    ASSERT_TRUE(bad.exit_status);
    EXPECT_EQ(*bad.exit_status, 2);
    EXPECT_TRUE(bad.output.startsWith("--listen: the port must be a number from 1 to 65535"));
}

TEST(StateFromJson, ReadsBackTheStatusAsTheUnitReportedIt)
{
    DeviceState unit;
    unit.set_start_up_values();
    unit.output_format = 9;  // no word for it: a number in the JSON
    unit.video_br = 200;
    unit.adj_fp = 0;
    std::string error;
    EXPECT_EQ(ctl::state_from_json(control::status_json(unit), error), unit);
    EXPECT_TRUE(error.empty());

    ctl::state_from_json(R"({"power": "on"})", error);
    EXPECT_EQ(error, "the panel's status lacks input");
    error.clear();
    ctl::state_from_json("not json", error);
    EXPECT_EQ(error, "the panel's status lacks power");
}

}  // namespace
}  // namespace plenvo::testing
