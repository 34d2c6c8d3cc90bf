#pragma once

#include <QTcpServer>

#include <memory>
#include <string>

#include "sim/line.h"

class QTcpSocket;

namespace plenvo::sim {

// The unit served on a TCP port, as a serial server serves a real one: the
// raw bytes both ways, one panel at a time. A panel that connects cuts off
// the one before, as a serial port is taken over by the next program that
// opens it after the first has died.
class TcpLine : public Line {
public:
    // `address` is "HOST:PORT" with HOST an IP address or localhost; port 0
    // takes any free port. Nullptr, with the reason in `error`, when it
    // cannot be served.
    static std::unique_ptr<TcpLine> open(const std::string& address, std::string& error);

    // The device string the panel opens, "socket://HOST:PORT".
    std::string device() const override;
    // Without a panel connected the bytes are lost, as on a line with
    // nobody at the other end.
    void write(std::span<const uint8_t> bytes) override;

private:
    TcpLine();

    void take_panel();

    // Before the server, which ends the connections as it goes and so
    // reaches for the panel's.
    QTcpSocket* panel_ = nullptr;  // owned by server_
    QTcpServer server_;
};

}  // namespace plenvo::sim
