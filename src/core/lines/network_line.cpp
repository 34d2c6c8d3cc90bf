#include "lines/network_line.h"

namespace plenvo {

namespace {

// Unread input kept at most. A serial line brings 960 bytes a second; a
// network peer can bring far more, and what the panel has not read by then
// is lost, as on a serial port whose receive buffer overflows.
constexpr qsizetype kInputLimit = 64 * 1024;

struct SocketErrorText {
    QAbstractSocket::SocketError error;
    const char* text;
};

constexpr SocketErrorText kSocketErrors[] = {
    {QAbstractSocket::ConnectionRefusedError, "connection refused"},
    {QAbstractSocket::HostNotFoundError, "host not found"},
    {QAbstractSocket::RemoteHostClosedError, "connection closed by the far end"},
};

QByteArray to_bytes(const Rfc2217Codec::Bytes& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

std::span<const uint8_t> as_span(const QByteArray& bytes)
{
    return {reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())};
}

}  // namespace

NetworkLine::NetworkLine(const QString& device, const LineDevice& address, int connect_timeout_ms)
    : device_(device), address_(address), connect_timeout_ms_(connect_timeout_ms)
{
    connect_timer_.setSingleShot(true);
    QObject::connect(&connect_timer_, &QTimer::timeout, [this] {
        connection_failed(QStringLiteral("%1: no connection within %2 s").arg(device_).arg(connect_timeout_ms_ / 1000.0));
    });
    QObject::connect(&socket_, &QTcpSocket::connected, [this] { connected(); });
    QObject::connect(&socket_, &QTcpSocket::readyRead, [this] {
        // Telnet negotiation alone brings no data.
        if (receive() && on_bytes_arrived)
            on_bytes_arrived();
    });
    QObject::connect(&socket_, &QTcpSocket::errorOccurred, [this](QAbstractSocket::SocketError error) {
        if (connecting_)
            connection_failed(failure(error));
        else
            drop(error);
    });
    QObject::connect(&socket_, &QTcpSocket::disconnected,
                     [this] { drop(QAbstractSocket::RemoteHostClosedError); });
}

bool NetworkLine::open(const LineSettings& settings)
{
    lost_ = false;
    error_.clear();
    in_.clear();
    telnet_.reset();
    if (address_.kind == LineDevice::Kind::Rfc2217)
        telnet_.emplace(settings);
    open_ = true;
    connecting_ = true;
    opening_ = true;
    socket_.connectToHost(address_.host, address_.port);
    opening_ = false;
    if (lost_) {
        // Refused before connectToHost returned.
        open_ = false;
        lost_ = false;
        return false;
    }
    if (connecting_)
        connect_timer_.start(connect_timeout_ms_);
    // Written while connecting, it goes out first once the connection is
    // made, with the data behind it.
    if (telnet_)
        send(telnet_->greeting());
    return true;
}

void NetworkLine::connected()
{
    connect_timer_.stop();
    connecting_ = false;
    // Frames are a few bytes each; each goes out at once, not held back to
    // be sent with the next.
    socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (!opening_ && on_connection_settled)
        on_connection_settled();
}

void NetworkLine::connection_failed(const QString& reason)
{
    if (!connecting_)
        return;
    connect_timer_.stop();
    connecting_ = false;
    lost_ = true;
    error_ = reason;
    // The bytes that waited for the connection go with it.
    socket_.abort();
    if (!opening_ && on_connection_settled)
        on_connection_settled();
}

void NetworkLine::close()
{
    connect_timer_.stop();
    const bool was_connected = open_ && !connecting_;
    open_ = false;
    connecting_ = false;
    // What was written still goes out; the kernel sends it before the end.
    // A socket still connecting has nowhere to send it.
    if (was_connected && socket_.state() == QAbstractSocket::ConnectedState)
        socket_.flush();
    socket_.abort();
}

bool NetworkLine::receive()
{
    if (!open_)
        return false;
    const QByteArray arrived = socket_.readAll();
    QByteArray data = arrived;
    if (telnet_) {
        Rfc2217Codec::Decoded decoded;
        telnet_->decode(as_span(arrived), decoded);
        data = to_bytes(decoded.data);
        send(decoded.replies);
    }
    const qsizetype before = in_.size();
    in_ += data.left(kInputLimit - in_.size());
    return in_.size() > before;
}

void NetworkLine::clear_input()
{
    // The Telnet commands among the waiting bytes are still answered.
    receive();
    in_.clear();
}

bool NetworkLine::write(const QByteArray& bytes)
{
    if (!open_ || lost_)
        return false;
    const QByteArray wire = telnet_ ? to_bytes(Rfc2217Codec::encode(as_span(bytes))) : bytes;
    return socket_.write(wire) == wire.size();
}

void NetworkLine::send(const Rfc2217Codec::Bytes& bytes)
{
    if (!bytes.empty())
        socket_.write(to_bytes(bytes));
}

bool NetworkLine::drain(int timeout_ms)
{
    if (!open_ || lost_)
        return true;
    // Waiting for the bytes to leave would wait for the connection.
    if (connecting_)
        return socket_.bytesToWrite() == 0;
    return drain_output(socket_, timeout_ms);
}

// The connection ended or failed while the line was open: the device is
// lost. What arrived before the end is still the unit's.
void NetworkLine::drop(QAbstractSocket::SocketError error)
{
    if (!open_ || lost_)
        return;
    receive();
    lost_ = true;
    error_ = failure(error);
}

QString NetworkLine::failure(QAbstractSocket::SocketError error) const
{
    for (const SocketErrorText& known : kSocketErrors)
        if (known.error == error)
            return device_ + QStringLiteral(": ") + QLatin1String(known.text);
    return device_ + QStringLiteral(": ") + socket_.errorString();
}

std::unique_ptr<Line> make_network_line(const QString& device, const LineDevice& address, QString& /*error*/)
{
    return std::make_unique<NetworkLine>(device, address);
}

}  // namespace plenvo
