#pragma once

#include <functional>
#include <memory>
#include <string>

#include "wire/protocol.h"
#include "sim/line.h"
#include "sim/unit.h"

namespace plenvo::bench {

// A simulated unit at the far end of a real line (a pseudo-terminal or a
// TCP port): it answers every command as the real one does.
class UnitOnLine {
public:
    explicit UnitOnLine(std::unique_ptr<sim::Line> line) : line_(std::move(line))
    {
        line_->on_received = [this](std::span<const uint8_t> bytes) {
            for (uint8_t byte : bytes)
                if (const std::optional<protocol::Frame> command = assembler_.push(byte, sim::CommandAssembler::Clock::now())) {
                    if (on_command)
                        on_command(*command);
                    for (const protocol::Frame& reply : unit.answer(*command))
                        send(reply);
                }
        };
    }

    void send(const protocol::Frame& frame)
    {
        const uint8_t bytes[protocol::kFrameSize] = {frame.first, frame.second, frame.value};
        line_->write(bytes);
    }
    std::string device() const { return line_->device(); }

    sim::Unit unit;
    // Called with each command as it arrives, before the answer.
    std::function<void(const protocol::Frame&)> on_command;

private:
    std::unique_ptr<sim::Line> line_;
    sim::CommandAssembler assembler_;
};

}  // namespace plenvo::bench
