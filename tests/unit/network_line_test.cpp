// Lines to the unit behind the serial control, against a far end in the
// test: a TCP server on the loopback interface, on a port of the system's
// choosing. The bytes both ways, RFC 2217 on the wire, every way an opening
// or a connection fails or a connection ends, and an opening that returns
// at once while the connection is made.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "lines/network_line.h"
#include "lines/qt_serial_control.h"
#include "lines/rfc2217_codec.h"

namespace plenvo {
namespace {

using namespace telnet;

constexpr int kWaitMs = 3000;

// Runs the event loop until `done` or `within_ms`; whether it is done.
bool wait_until(const std::function<bool()>& done, int within_ms = kWaitMs)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(within_ms, &loop, &QEventLoop::quit);
    check.start(2);
    if (!done())
        loop.exec();
    return done();
}

QByteArray bytes(std::initializer_list<uint8_t> values)
{
    QByteArray out;
    for (const uint8_t value : values)
        out.append(char(value));
    return out;
}

// A listening socket that takes no connection: its queue holds one, already
// taken by the test, so the next connection attempt gets no answer at all.
class SilentHost {
public:
    SilentHost()
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
        ::listen(listener_, 0);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        ::connect(queued_, reinterpret_cast<sockaddr*>(&address), size);
    }
    ~SilentHost()
    {
        ::close(queued_);
        ::close(listener_);
    }
    QString device() const { return QStringLiteral("socket://127.0.0.1:%1").arg(port_); }

private:
    int listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int queued_ = ::socket(AF_INET, SOCK_STREAM, 0);
    quint16 port_ = 0;
};

class NetworkLineTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server_.listen(QHostAddress::LocalHost, 0)); }

    QString device(const char* scheme) const
    {
        return QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(scheme)).arg(server_.serverPort());
    }

    // Opens the control on `device_`; the far end's side of the connection.
    QTcpSocket* open(const QString& device)
    {
        device_ = device;
        EXPECT_TRUE(control_.set_settings(QStringLiteral("9600,N,8,1")));
        EXPECT_TRUE(control_.set_port_open(true)) << control_.error_text().toStdString();
        EXPECT_TRUE(wait_until([&] { return server_.hasPendingConnections(); }));
        return server_.nextPendingConnection();
    }

    // The next `count` bytes the far end receives.
    QByteArray far_end_reads(QTcpSocket* far_end, qsizetype count)
    {
        wait_until([&] {
            received_ += far_end->readAll();
            return received_.size() >= count;
        });
        return std::exchange(received_, received_.mid(count)).left(count);
    }

    QByteArray panel_reads(qsizetype count)
    {
        wait_until([&] { return control_.in_buffer_count() >= count; });
        return control_.input();
    }

    QTcpServer server_;
    QString device_;
    QByteArray received_;
    QtSerialControl control_{[this](int) { return device_; }};
};

TEST_F(NetworkLineTest, RawLineCarriesEveryByteUnchangedBothWays)
{
    QTcpSocket* far_end = open(device("socket"));
    ASSERT_TRUE(far_end);
    EXPECT_TRUE(control_.port_open());

    ASSERT_TRUE(control_.output(bytes({'B', 'R', 255})));
    EXPECT_TRUE(control_.drain_output(100));
    EXPECT_EQ(far_end_reads(far_end, 3), bytes({'B', 'R', 255}));

    far_end->write(bytes({'P', 'W', 1, 255, 255, 250}));
    EXPECT_EQ(panel_reads(6), bytes({'P', 'W', 1, 255, 255, 250}));
    EXPECT_FALSE(control_.device_lost());
}

TEST_F(NetworkLineTest, Rfc2217LineSendsDataAtOnceSetsTheFarPortAndEscapes0xFF)
{
    QTcpSocket* far_end = open(device("rfc2217"));
    ASSERT_TRUE(far_end);

    // Data goes out straight behind the greeting, before any answer.
    ASSERT_TRUE(control_.output(bytes({'A', 'L', 0})));
    EXPECT_EQ(far_end_reads(far_end, 18),
              bytes({kIac, kWill, 0, kIac, kDo, 0, kIac, kWill, 3, kIac, kDo, 3, kIac, kWill, 44, 'A', 'L', 0}));

    // ser2net's opening, then a report of 255.
    far_end->write(bytes({kIac, kWill, 3, kIac, kDo, 3, kIac, kWill, 1, kIac, kDont, 1, kIac, kDo, 0, kIac, kWill,
                          0, kIac, kDo, 44, 'B', 'R', kIac, kIac}));
    EXPECT_EQ(panel_reads(3), bytes({'B', 'R', 255}));
    EXPECT_EQ(far_end_reads(far_end, 3), bytes({kIac, kDont, 1}));
    EXPECT_EQ(far_end_reads(far_end, 10), bytes({kIac, kSb, 44, 1, 0, 0, 0x25, 0x80, kIac, kSe}));
    EXPECT_EQ(far_end_reads(far_end, 7), bytes({kIac, kSb, 44, 2, 8, kIac, kSe}));
    far_end_reads(far_end, 21);  // parity, stop bits, flow control

    ASSERT_TRUE(control_.output(bytes({'V', 'O', 255})));
    EXPECT_EQ(far_end_reads(far_end, 4), bytes({'V', 'O', 255, 255}));
}

TEST_F(NetworkLineTest, FarEndClosingLosesTheDeviceAfterItsLastBytesAreRead)
{
    QTcpSocket* far_end = open(device("socket"));
    ASSERT_TRUE(far_end);
    far_end->write(bytes({'P', 'W', 0}));
    far_end->flush();
    far_end->close();

    ASSERT_TRUE(wait_until([&] { return control_.device_lost(); }));
    EXPECT_EQ(control_.error_text(), device("socket") + QStringLiteral(": connection closed by the far end"));
    EXPECT_EQ(control_.input(), bytes({'P', 'W', 0}));
    EXPECT_FALSE(control_.output(bytes({'A', 'L', 0})));

    // Reopened, the line works again and the loss is forgotten.
    control_.set_port_open(false);
    QTcpSocket* again = open(device("socket"));
    ASSERT_TRUE(again);
    EXPECT_FALSE(control_.device_lost());
    EXPECT_TRUE(control_.error_text().isEmpty());
}

TEST_F(NetworkLineTest, AMalformedDeviceOrAMissingSerialDeviceFailsAtOnce)
{
    struct Case {
        QString device;
        QString error;
    };
    const Case cases[] = {
        {QStringLiteral("socket://127.0.0.1"), QStringLiteral("socket://127.0.0.1: no port number (HOST:PORT)")},
        {QStringLiteral("/dev/plenvo-absent"), QStringLiteral("/dev/plenvo-absent: no such device")},
    };
    for (const Case& c : cases) {
        device_ = c.device;
        EXPECT_FALSE(control_.set_port_open(true)) << c.device.toStdString();
        EXPECT_FALSE(control_.port_open());
        EXPECT_FALSE(control_.connecting());
        EXPECT_EQ(control_.error_text(), c.error);
    }
}

// Opening starts the connection and returns; the line tells once how it
// ended, and a failed one is a lost device with the reason.
TEST(NetworkLine, AConnectionThatFailsIsToldOnceAsALostLineWithTheReason)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const QString refused = QStringLiteral("socket://127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    const SilentHost silent;
    struct Case {
        QString device;
        QString error;
    };
    const Case cases[] = {
        {refused, refused + QStringLiteral(": connection refused")},
        {silent.device(), silent.device() + QStringLiteral(": no connection within 0.2 s")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device.toStdString());
        QString error;
        NetworkLine line(c.device, *parse_device(c.device, error), 200);
        int settled = 0;
        line.on_connection_settled = [&] { ++settled; };
        QElapsedTimer clock;
        clock.start();
        ASSERT_TRUE(line.open(LineSettings{}));
        EXPECT_LT(clock.elapsed(), 100) << "opening does not wait for the connection";
        EXPECT_TRUE(line.is_open());
        EXPECT_TRUE(line.connecting());
        EXPECT_TRUE(line.write(bytes({'A', 'L', 0}))) << "bytes wait for the connection";
        EXPECT_FALSE(line.drain(1000)) << "still waiting";
        EXPECT_LT(clock.elapsed(), 100) << "draining does not wait for the connection";

        EXPECT_TRUE(wait_until([&] { return settled > 0; }));
        wait_until([] { return false; }, 300);  // and nothing more
        EXPECT_EQ(settled, 1);
        EXPECT_FALSE(line.connecting());
        EXPECT_TRUE(line.lost());
        EXPECT_EQ(line.error_text(), c.error);
        EXPECT_FALSE(line.write(bytes({'A', 'L', 0})));
    }
}

TEST_F(NetworkLineTest, BytesWrittenWhileConnectingGoOutOnceConnectedBehindTheTelnetGreeting)
{
    for (const char* scheme : {"socket", "rfc2217"}) {
        SCOPED_TRACE(scheme);
        int settled = 0;
        control_.on_connection_settled = [&] { ++settled; };
        device_ = device(scheme);
        ASSERT_TRUE(control_.set_settings(QStringLiteral("9600,N,8,1")));
        ASSERT_TRUE(control_.set_port_open(true));
        ASSERT_TRUE(control_.connecting()) << "no event has run yet";
        EXPECT_TRUE(control_.port_open());
        ASSERT_TRUE(control_.output(bytes({'A', 'L', 0})));

        ASSERT_TRUE(wait_until([&] { return server_.hasPendingConnections(); }));
        QTcpSocket* far_end = server_.nextPendingConnection();
        const QByteArray greeting = scheme == std::string("rfc2217")
                                        ? bytes({kIac, kWill, 0, kIac, kDo, 0, kIac, kWill, 3, kIac, kDo, 3, kIac, kWill, 44})
                                        : QByteArray();
        EXPECT_EQ(far_end_reads(far_end, greeting.size() + 3), greeting + bytes({'A', 'L', 0}));
        EXPECT_EQ(settled, 1);
        EXPECT_FALSE(control_.connecting());
        EXPECT_FALSE(control_.device_lost());
        control_.set_port_open(false);
        received_.clear();
    }
}

TEST(NetworkLine, ClosingWhileConnectingAbandonsItSilently)
{
    const SilentHost host;
    QtSerialControl control([&](int) { return host.device(); });
    int settled = 0;
    control.on_connection_settled = [&] { ++settled; };
    ASSERT_TRUE(control.set_port_open(true));
    ASSERT_TRUE(control.output(bytes({'A', 'L', 0})));
    EXPECT_TRUE(control.set_port_open(false));
    EXPECT_FALSE(control.port_open());
    EXPECT_FALSE(control.connecting());

    wait_until([] { return false; }, 400);
    EXPECT_EQ(settled, 0) << "an abandoned connection is not told";
    EXPECT_FALSE(control.device_lost());
    // The port opens again at once.
    EXPECT_TRUE(control.set_port_open(true));
    EXPECT_TRUE(control.connecting());
}

}  // namespace
}  // namespace plenvo
