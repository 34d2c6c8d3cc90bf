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
    QtSerialControl control_{[this](int) { return device_; }, make_network_line};
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

    // ser2net's opening, then a report of 255. The opening alone brings
    // the panel nothing to read; the report is told as it comes.
    int arrivals = 0;
    control_.on_bytes_arrived = [&arrivals] { ++arrivals; };
    far_end->write(bytes({kIac, kWill, 3, kIac, kDo, 3, kIac, kWill, 1, kIac, kDont, 1, kIac, kDo, 0, kIac, kWill,
                          0, kIac, kDo, 44}));
    EXPECT_EQ(far_end_reads(far_end, 3), bytes({kIac, kDont, 1}));
    EXPECT_EQ(arrivals, 0);
    far_end->write(bytes({'B', 'R', kIac, kIac}));
    EXPECT_EQ(panel_reads(3), bytes({'B', 'R', 255}));
    EXPECT_GE(arrivals, 1);
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

TEST_F(NetworkLineTest, AMalformedOrMissingDeviceFailsAtOnceWithAReasonNamingIt)
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

// The network lines come from a module; one that cannot be loaded fails the
// opening with its reason, as a missing device does.
TEST(NetworkLine, ALineThatCannotBeMadeFailsTheOpeningWithTheReason)
{
    QtSerialControl control([](int) { return QStringLiteral("socket://127.0.0.1:9"); },
                            [](const QString&, const LineDevice&, QString& error) {
                                error = QStringLiteral("the network line cannot start: gone");
                                return std::unique_ptr<Line>();
                            });
    EXPECT_FALSE(control.set_port_open(true));
    EXPECT_FALSE(control.port_open() || control.connecting() || control.output("AL"));
    EXPECT_EQ(control.error_text(), QStringLiteral("the network line cannot start: gone"));
}

// Opening starts the connection and returns at once; the line tells once
// how it ended. A failed one leaves it lost, with the reason; one abandoned
// by a close is not told.
TEST(NetworkLine, OpeningReturnsAtOnceAndAFailedConnectionIsToldOnceAsALostLine)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const QString refused = QStringLiteral("socket://127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    const SilentHost silent;
    struct Case {
        QString device;
        QString error;
        bool closed_meanwhile;
    };
    const Case cases[] = {
        {refused, refused + QStringLiteral(": connection refused"), false},
        {silent.device(), silent.device() + QStringLiteral(": no connection within 0.2 s"), false},
        {silent.device(), QString(), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error.toStdString());
        QString error;
        NetworkLine line(c.device, *parse_device(c.device, error), 200);
        int settled = 0;
        line.on_connection_settled = [&] { ++settled; };
        QElapsedTimer clock;
        clock.start();
        ASSERT_TRUE(line.open(LineSettings{}));
        EXPECT_TRUE(line.connecting());
        EXPECT_TRUE(line.write(bytes({'A', 'L', 0}))) << "bytes wait for the connection";
        EXPECT_FALSE(line.drain(1000));
        EXPECT_LT(clock.elapsed(), 100) << "neither opening nor draining waits for the connection";
        if (c.closed_meanwhile)
            line.close();

        wait_until([] { return false; }, 400);
        EXPECT_EQ(settled, c.closed_meanwhile ? 0 : 1);
        EXPECT_FALSE(line.connecting());
        EXPECT_EQ(line.lost(), !c.closed_meanwhile);
        EXPECT_EQ(line.error_text(), c.error);
    }
}

TEST_F(NetworkLineTest, BytesWrittenWhileConnectingGoOutOnceConnectedBehindTheTelnetGreeting)
{
    const QByteArray greeting = bytes({kIac, kWill, 0, kIac, kDo, 0, kIac, kWill, 3, kIac, kDo, 3, kIac, kWill, 44});
    for (const auto& [scheme, first] : {std::pair{"socket", QByteArray()}, std::pair{"rfc2217", greeting}}) {
        SCOPED_TRACE(scheme);
        int settled = 0;
        control_.on_connection_settled = [&] { ++settled; };
        device_ = device(scheme);
        ASSERT_TRUE(control_.set_port_open(true));
        ASSERT_TRUE(control_.connecting()) << "no event has run yet";
        ASSERT_TRUE(control_.output(bytes({'A', 'L', 0})));

        ASSERT_TRUE(wait_until([&] { return server_.hasPendingConnections(); }));
        EXPECT_EQ(far_end_reads(server_.nextPendingConnection(), first.size() + 3), first + bytes({'A', 'L', 0}));
        EXPECT_EQ(settled, 1);
        EXPECT_FALSE(control_.connecting() || control_.device_lost());
        control_.set_port_open(false);
    }
}

}  // namespace
}  // namespace plenvo
