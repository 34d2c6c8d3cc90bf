#pragma once

#include <QTcpSocket>
#include <QTimer>

#include <memory>
#include <optional>

#include "lines/line.h"
#include "lines/line_device.h"
#include "lines/rfc2217_codec.h"

namespace plenvo {

// A serial port served over TCP: the raw bytes, or Telnet with RFC 2217
// COM port control, which sets the far port to the line settings and
// escapes the data.
//
// Opening starts the connection and returns; nothing waits for it. Bytes
// written before it is made wait in the socket, which sends them once it
// is connected. A connection refused, a host not found or no connection
// within the time-out leave the line lost, as a connection that ends later
// does; a close() meanwhile abandons the connection.
class NetworkLine final : public Line {
public:
    static constexpr int kConnectTimeoutMs = 3000;

    // `device` is the device string as the user gave it, for messages.
    NetworkLine(const QString& device, const LineDevice& address, int connect_timeout_ms = kConnectTimeoutMs);
    // The socket reports its end to a line that is closed already.
    ~NetworkLine() override { close(); }

    bool open(const LineSettings& settings) override;
    void close() override;
    bool is_open() const override { return open_; }
    int bytes_available() override { return int(in_.size()); }
    QByteArray read_all() override { return std::exchange(in_, {}); }
    void clear_input() override;
    int bytes_to_write() override { return open_ ? int(socket_.bytesToWrite()) : 0; }
    // What is queued is already on its way, and in front of it may be the
    // Telnet negotiation, which must not be lost: nothing is discarded.
    void clear_output() override {}
    bool write(const QByteArray& bytes) override;
    bool drain(int timeout_ms) override;
    bool lost() const override { return lost_; }
    QString error_text() const override { return error_; }
    bool connecting() const override { return connecting_; }

private:
    void connected();
    void connection_failed(const QString& reason);
    // True when data for the panel came in.
    bool receive();
    void send(const Rfc2217Codec::Bytes& bytes);
    void drop(QAbstractSocket::SocketError error);
    QString failure(QAbstractSocket::SocketError error) const;

    QString device_;
    LineDevice address_;
    int connect_timeout_ms_;
    QTcpSocket socket_;
    QTimer connect_timer_;
    std::optional<Rfc2217Codec> telnet_;
    QByteArray in_;
    bool open_ = false;
    bool connecting_ = false;
    // Inside open(): a connection made or refused at once is told by
    // open()'s result, not by on_connection_settled.
    bool opening_ = false;
    bool lost_ = false;
    QString error_;
};

// A network line for QtSerialControl: always made.
std::unique_ptr<Line> make_network_line(const QString& device, const LineDevice& address, QString& error);

}  // namespace plenvo
