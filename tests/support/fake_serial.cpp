#include "support/fake_serial.h"

#include "sim/unit.h"

namespace plenvo::testing {

void FakeSerial::receive(const protocol::Frame& frame)
{
    receive(QByteArray{reinterpret_cast<const char*>(&frame.first), 1} +
            QByteArray{reinterpret_cast<const char*>(&frame.second), 1} +
            QByteArray{reinterpret_cast<const char*>(&frame.value), 1});
}

void FakeSerial::answer_with(sim::Unit& unit, uint64_t delay_ms)
{
    on_frame = [this, &unit, delay_ms](const protocol::Frame& command) {
        const std::vector<protocol::Frame> replies = unit.answer(command);
        platform_.after(delay_ms, [this, replies] {
            for (const protocol::Frame& reply : replies)
                receive(reply);
        });
    };
}

std::vector<protocol::Frame> FakeSerial::sent_with(char first, char second) const
{
    std::vector<protocol::Frame> frames;
    for (const Sent& s : sent)
        if (s.frame.first == uint8_t(first) && s.frame.second == uint8_t(second))
            frames.push_back(s.frame);
    return frames;
}

std::vector<std::string> FakeSerial::sent_text() const
{
    std::vector<std::string> lines;
    for (const Sent& s : sent)
        lines.push_back(std::string{char(s.frame.first), char(s.frame.second)} + ' ' + std::to_string(s.frame.value));
    return lines;
}

bool FakeSerial::set_port_open(bool open)
{
    if (!open) {
        open_ = false;
        connecting_ = false;
        return true;
    }
    ++open_attempts;
    if (open_ || !openable.count(comm_port))
        return false;
    open_ = true;
    lost_ = false;
    connecting_ = connects_later;
    ++open_count;
    if (device_of)
        opened_device = device_of(comm_port);
    return true;
}

QByteArray FakeSerial::input()
{
    return std::exchange(in_, {});
}

bool FakeSerial::output(const QByteArray& bytes)
{
    if (!open_ || lost_ || bytes.size() != protocol::kFrameSize)
        return false;
    const protocol::Frame frame{uint8_t(bytes[0]), uint8_t(bytes[1]), uint8_t(bytes[2])};
    sent.push_back({platform_.now(), frame});
    if (on_frame)
        on_frame(frame);
    return true;
}

void FakeSerial::settle_connection(const QString& failure)
{
    if (!connecting_)
        return;
    connecting_ = false;
    lost_ = !failure.isEmpty();
    if (lost_)
        error = failure;
    if (on_connection_settled)
        on_connection_settled();
}

}  // namespace plenvo::testing
