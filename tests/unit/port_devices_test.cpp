// The devices behind the ports: the serial devices found, the defaults they
// give, and the choices kept in the devices file beside the settings file.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "devices/settings_file.h"
#include "devices/port_devices.h"
#include "support/test_files.h"

namespace plenvo::testing {
namespace {

class DevicesFileTest : public ::testing::Test {
protected:
    // The devices kept in `folder`, on a machine where `machine` is found.
    PortDevices devices() const
    {
        return PortDevices(path, [this] {
            ++finds;
            return machine;
        });
    }

    QTemporaryDir folder;
    QString path = folder.filePath(kDevicesFileName);
    std::vector<SerialDevice> machine;
    mutable int finds = 0;
};

TEST_F(DevicesFileTest, AChoiceIsWrittenAtOnceAndTheNextRunReadsItAsAHandEditedFileToo)
{
    PortDevices first = devices();
    EXPECT_FALSE(first.choose(2, "rfc2217://[fd00::7]:4001"));
    EXPECT_FALSE(first.choose(1, "/dev/serial/by-id/usb-FTDI_A1-if00-port0"));
    const PortDevices next = devices();
    EXPECT_EQ(next.problem(), QString());
    EXPECT_EQ(next.device(1), "/dev/serial/by-id/usb-FTDI_A1-if00-port0");
    EXPECT_EQ(next.device(2), "rfc2217://[fd00::7]:4001");
    EXPECT_EQ(finds, 0) << "no search for devices when both are chosen";

    put(path, "; mine\r\n\r\n  # the rack\r\n COM2 = socket://10.0.0.5:4999 \r\ncom1=/dev/ttyACM0");
    EXPECT_EQ(devices().device(1), "/dev/ttyACM0");
    EXPECT_EQ(devices().device(2), "socket://10.0.0.5:4999");
}

TEST_F(DevicesFileTest, NonsenseOrAFileThatCannotBeReadGivesTheDefaultsAndIsNamed)
{
    struct Case {
        QByteArray text;
        const char* told;
    };
    const Case cases[] = {
        {"com1=/dev/ttyUSB0\ncom3=/dev/ttyUSB1\n", ", line 2: not com1=DEVICE or com2=DEVICE"},
        {"com1=socket://unit\n", ", line 1: socket://unit: no port number"},
        {QByteArray("com1=/dev/tty\0USB0\n", 19), ", line 1: /dev/tty"},
        {"\x7f" "ELF\x02\x01\x01\n\xff\xfe", ", line 1: not com1=DEVICE"},
        {"com1=/dev/ttyUSB0\n" + QByteArray(70 * 1024, '#'), " is too large"},
    };
    for (const Case& c : cases) {
        put(path, c.text);
        const PortDevices read = devices();
        EXPECT_TRUE(read.problem().startsWith(path + c.told)) << read.problem().toStdString();
        EXPECT_TRUE(read.problem().endsWith("; the default devices are used")) << read.problem().toStdString();
        EXPECT_EQ(read.device(1), "/dev/ttyS0") << c.told;
    }

    // Root reads any file whatever its mode; a folder in its place can be
    // neither read nor replaced.
    const QString settings = folder.filePath(kSettingsFileName);
    put(settings, "1200\r\n3000\r\n2\r\n");
    ASSERT_TRUE(QFile::remove(path) && QDir().mkdir(path));
    PortDevices unreadable = devices();
    EXPECT_TRUE(unreadable.problem().startsWith(path + " cannot be read")) << unreadable.problem().toStdString();
    const std::optional<QString> failure = unreadable.choose(2, "/dev/ttyUSB0");
    EXPECT_TRUE(failure && failure->contains(path));
    EXPECT_EQ(unreadable.device(2), "/dev/ttyUSB0") << "the choice holds for the run";
    QFile kept(settings);
    EXPECT_TRUE(kept.open(QIODevice::ReadOnly) && kept.readAll() == "1200\r\n3000\r\n2\r\n");
}

TEST_F(DevicesFileTest, DefaultsAreTheAdaptersFoundThenTheBuiltInPortsAndAChoiceOverridesOnlyItsPort)
{
    const SerialDevice a{"/dev/serial/by-id/usb-A", "/dev/ttyUSB1", {}, true};
    const SerialDevice b{"/dev/serial/by-id/usb-B", "/dev/ttyUSB0", {}, true};
    const SerialDevice built_in{"/dev/ttyS4", "/dev/ttyS4", {}, false};
    struct Case {
        std::vector<SerialDevice> found;
        const char* port1;
        const char* port2;
    };
    const Case cases[] = {
        {{}, "/dev/ttyS0", "/dev/ttyS1"},
        {{a, built_in}, "/dev/serial/by-id/usb-A", "/dev/ttyS0"},
        {{a, b}, "/dev/serial/by-id/usb-A", "/dev/serial/by-id/usb-B"},
    };
    for (const Case& c : cases) {
        machine = c.found;
        EXPECT_EQ(devices().device(1), c.port1);
        EXPECT_EQ(devices().device(2), c.port2);
    }
    PortDevices chosen = devices();
    EXPECT_FALSE(chosen.choose(2, "/dev/ttyS1"));
    EXPECT_EQ(chosen.device(1), "/dev/serial/by-id/usb-A");
    EXPECT_FALSE(chosen.chosen(1)) << "a default is never kept as a choice";

    QTemporaryDir program_dir;
    EXPECT_EQ(PortDevices::for_program(program_dir.path()).path(), program_dir.filePath(kDevicesFileName));
}

TEST(SerialDevices, StableNamesStandForTheirPortsAdaptersComeFirstAndTheOrderIsByName)
{
    QTemporaryDir dev;
    for (const char* node : {"ttyUSB0", "ttyUSB1", "ttyUSB2", "ttyACM0", "ttyS0"})
        put(dev.filePath(node), {});
    ASSERT_TRUE(QDir(dev.path()).mkdir("by-id"));
    const QString by_id = dev.filePath("by-id");
    for (const auto& [target, name] : {std::pair{"../ttyUSB0", "usb-B"}, {"../ttyUSB1", "usb-A"},
                                       {"../ttyUSB2", "usb-C"}, {"../ttyUSB7", "usb-Gone"}})
        ASSERT_TRUE(QFile::link(target, by_id + '/' + name));

    const std::vector<SystemPort> reported{
        {dev.filePath("ttyS0"), QString(), false},
        {dev.filePath("ttyUSB0"), "FT232R USB UART, FTDI", true},
        {dev.filePath("ttyACM0"), "Arduino Uno", true},
        {dev.filePath("ttyUSB1"), "CP2102", true},
    };
    QStringList labels;
    for (const SerialDevice& found : serial_devices(reported, by_id))
        labels << device_label(found).remove(dev.path() + '/') + (found.adapter ? " (adapter)" : "");
    EXPECT_EQ(labels, QStringList({
                          "CP2102 (ttyUSB1) — by-id/usb-A (adapter)",
                          "FT232R USB UART, FTDI (ttyUSB0) — by-id/usb-B (adapter)",
                          "(ttyUSB2) — by-id/usb-C (adapter)",  // a stable name the system did not report
                          "Arduino Uno — ttyACM0 (adapter)",
                          "ttyS0",
                      }));
}

}  // namespace
}  // namespace plenvo::testing
