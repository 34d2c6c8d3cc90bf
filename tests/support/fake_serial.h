#pragma once

#include <QByteArray>

#include <functional>
#include <set>
#include <vector>

#include "wire/protocol.h"
#include "lines/serial_control.h"
#include "support/sim_platform.h"

namespace plenvo::sim {
class Unit;
}

namespace plenvo::testing {

// A scripted serial line on the simulated clock: records every frame the
// panel writes and delivers the bytes a test or a simulated unit sends back.
class FakeSerial final : public SerialControl {
public:
    explicit FakeSerial(SimPlatform& platform) : platform_(platform) {}

    struct Sent {
        uint64_t at;
        protocol::Frame frame;
    };

    // Ports that can be opened.
    std::set<int> openable{1};
    std::vector<Sent> sent;
    int open_count = 0;
    int comm_port = 0;
    // What error_text() says.
    QString error;
    bool network = false;
    int open_attempts = 0;
    // The device behind each port, as the program's device lookup gives
    // it, and the one behind the port opened last.
    std::function<QString(int port)> device_of;
    QString opened_device;

    // Bytes from the unit, readable from now on; an open line tells of them.
    void receive(const QByteArray& bytes)
    {
        in_ += bytes;
        if (open_ && on_bytes_arrived)
            on_bytes_arrived();
    }
    void receive(const protocol::Frame& frame);
    // Answers every command as `unit` does, `delay_ms` after it was written.
    void answer_with(sim::Unit& unit, uint64_t delay_ms = 20);
    // The device disappears, as an unplugged adapter does.
    void lose_device() { lost_ = true; }

    // Openings connect later, as a network line's do: the port is open and
    // connecting until settle_connection(), which makes the connection or,
    // given a reason, fails it.
    bool connects_later = false;
    void settle_connection(const QString& failure = {});

    // Frames sent with these letters.
    std::vector<protocol::Frame> sent_with(char first, char second) const;
    // All frames sent, as "XY N" lines.
    std::vector<std::string> sent_text() const;

    bool port_open() const override { return open_; }
    bool set_port_open(bool open) override;
    void set_comm_port(int port) override { comm_port = port; }
    bool set_settings(const QString& settings) override { return settings == QLatin1String("9600,N,8,1"); }
    int in_buffer_count() override { return open_ ? int(in_.size()) : 0; }
    void clear_in_buffer() override { in_.clear(); }
    int out_buffer_count() override { return 0; }
    void clear_out_buffer() override {}
    void set_input_mode(int mode) override { input_mode = mode; }
    void set_input_len(int len) override { input_len = len; }
    QByteArray input() override;
    bool output(const QByteArray& bytes) override;
    bool drain_output(int) override { return true; }
    bool device_lost() const override { return lost_; }
    QString error_text() const override { return error; }
    bool network_line() const override { return network; }
    bool connecting() const override { return connecting_; }

    int input_mode = 0;
    int input_len = -1;
    std::function<void(const protocol::Frame&)> on_frame;

private:
    SimPlatform& platform_;
    QByteArray in_;
    bool open_ = false;
    bool lost_ = false;
    bool connecting_ = false;
};

}  // namespace plenvo::testing
