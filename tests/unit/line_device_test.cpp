// Device strings for a port: paths of every shape are serial devices, the
// two network forms give host and port, and each malformed string is
// refused with a reason that names it.

#include <gtest/gtest.h>

#include "lines/line_device.h"

namespace plenvo {
namespace {

using Kind = LineDevice::Kind;

TEST(LineDevice, PathsAreSerialDevicesEvenWithColonsInThem)
{
    for (const char* path : {"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
                             "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0", "COM1"}) {
        QString error;
        const std::optional<LineDevice> device = parse_device(QString::fromLatin1(path), error);
        ASSERT_TRUE(device) << path << ": " << error.toStdString();
        EXPECT_EQ(device->kind, Kind::SerialPort);
        EXPECT_EQ(device->path, QString::fromLatin1(path));
        EXPECT_EQ(device_string(*device), QString::fromLatin1(path));
    }
}

TEST(LineDevice, NetworkFormsGiveKindHostAndPort)
{
    struct Case {
        const char* device;
        Kind kind;
        const char* host;
        quint16 port;
    };
    const Case cases[] = {
        {"socket://192.168.1.50:4999", Kind::RawTcp, "192.168.1.50", 4999},
        {"rfc2217://rack7.example:2217", Kind::Rfc2217, "rack7.example", 2217},
        {"SOCKET://gateway:1", Kind::RawTcp, "gateway", 1},
        {"rfc2217://[::1]:65535", Kind::Rfc2217, "::1", 65535},
    };
    for (const Case& c : cases) {
        QString error;
        const std::optional<LineDevice> device = parse_device(QString::fromLatin1(c.device), error);
        ASSERT_TRUE(device) << c.device << ": " << error.toStdString();
        EXPECT_EQ(device->kind, c.kind) << c.device;
        EXPECT_EQ(device->host, QString::fromLatin1(c.host)) << c.device;
        EXPECT_EQ(device->port, c.port) << c.device;
        EXPECT_EQ(device_string(*device).compare(QString::fromLatin1(c.device), Qt::CaseInsensitive), 0)
            << "written back as read: " << c.device;
    }
}

TEST(LineDevice, MalformedStringsAreRefusedWithTheirReason)
{
    struct Case {
        const char* device;
        const char* reason;
    };
    const Case cases[] = {
        {"socket://gateway", "no port number"},
        {"socket://gateway:", "no port number"},
        {"rfc2217://:4000", "no host"},
        {"socket://gateway:0", "port 0 is not a number from 1 to 65535"},
        {"socket://gateway:65536", "port 65536 is not a number from 1 to 65535"},
        {"socket://gateway:49x", "port 49x is not"},
        {"socket://gateway:4999/", "port 4999/ is not"},
        {"socket://::1:4000", "in brackets"},
        {"foo://gateway:4999", "unknown kind of line"},
        {"telnet://gateway:23", "unknown kind of line"},
        {"svn+ssh.v-2://gateway:23", "unknown kind of line"},
    };
    for (const Case& c : cases) {
        const std::optional<QString> error = validate_device(QString::fromLatin1(c.device));
        ASSERT_TRUE(error) << c.device;
        EXPECT_TRUE(error->startsWith(QString::fromLatin1(c.device) + ": ")) << error->toStdString();
        EXPECT_TRUE(error->contains(QString::fromLatin1(c.reason))) << error->toStdString();
    }
    EXPECT_TRUE(validate_device(QString()));
    EXPECT_FALSE(validate_device(QStringLiteral("rfc2217://10.0.0.5:4001")));
    // Paths with "://" in them that no scheme starts.
    EXPECT_FALSE(validate_device(QStringLiteral("/tmp/odd://name")));
    EXPECT_FALSE(validate_device(QStringLiteral("9p://share")));
    EXPECT_FALSE(validate_device(QStringLiteral("a_b://share")));
}

}  // namespace
}  // namespace plenvo
