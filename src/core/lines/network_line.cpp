#include "lines/network_line.h"

#include <QEventLoop>
#include <QTimer>

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
    QObject::connect(&socket_, &QTcpSocket::readyRead, [this] { receive(); });
    QObject::connect(&socket_, &QTcpSocket::errorOccurred, [this](QAbstractSocket::SocketError error) { drop(error); });
    QObject::connect(&socket_, &QTcpSocket::disconnected,
                     [this] { drop(QAbstractSocket::RemoteHostClosedError); });
}

bool NetworkLine::open(const LineSettings& settings)
{
    lost_ = false;
    error_.clear();
    in_.clear();
    if (address_.kind == LineDevice::Kind::Rfc2217)
        telnet_.emplace(settings);
    if (!connect_in_time()) {
        socket_.abort();
        return false;
    }
    // Frames are a few bytes each; each goes out at once, not held back to
    // be sent with the next.
    socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    open_ = true;
    if (telnet_)
        send(telnet_->greeting());
    return true;
}

// Connects while the event loop runs, so that the windows stay alive.
bool NetworkLine::connect_in_time()
{
    abandoned_ = false;
    bool timed_out = false;
    socket_.connectToHost(address_.host, address_.port);
    if (socket_.state() != QAbstractSocket::UnconnectedState &&
        socket_.state() != QAbstractSocket::ConnectedState) {
        QEventLoop loop;
        QObject::connect(&socket_, &QTcpSocket::connected, &loop, &QEventLoop::quit);
        QObject::connect(&socket_, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
        QTimer::singleShot(connect_timeout_ms_, &loop, [&] {
            timed_out = true;
            loop.quit();
        });
        connecting_ = &loop;
        loop.exec();
        connecting_ = nullptr;
    }
    if (socket_.state() == QAbstractSocket::ConnectedState)
        return true;
    if (abandoned_)
        error_ = device_ + QStringLiteral(": connecting abandoned, the port was closed");
    else if (timed_out)
        error_ = QStringLiteral("%1: connection timed out after %2 s").arg(device_).arg(connect_timeout_ms_ / 1000.0);
    else
        error_ = failure(socket_.error());
    return false;
}

void NetworkLine::close()
{
    if (connecting_) {
        abandoned_ = true;
        connecting_->quit();
    }
    open_ = false;
    // What was written still goes out; the kernel sends it before the end.
    socket_.flush();
    socket_.abort();
}

void NetworkLine::receive()
{
    if (!open_)
        return;
    const QByteArray arrived = socket_.readAll();
    QByteArray data = arrived;
    if (telnet_) {
        Rfc2217Codec::Decoded decoded;
        telnet_->decode(as_span(arrived), decoded);
        data = to_bytes(decoded.data);
        send(decoded.replies);
    }
    in_ += data.left(kInputLimit - in_.size());
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
    return !open_ || lost_ || drain_output(socket_, timeout_ms);
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

}  // namespace plenvo
