#pragma once

// A record of the traffic on the line, one line a frame, written as it
// happens so that a test can follow it while the simulator runs:
//
//   <ms since start> RX IN 2      a frame from the panel
//   <ms since start> TX IN 2      a frame from the unit
//   <ms since start> TX byte 7    a stray byte the operator put on the line

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "wire/protocol.h"

namespace plenvo::sim {

enum class Direction { Received, Sent };

std::string frame_log_line(std::chrono::milliseconds at, Direction direction,
                           const protocol::Frame& frame);
std::string byte_log_line(std::chrono::milliseconds at, uint8_t byte);

class FrameLog {
public:
    // Without a file the log records nothing.
    FrameLog() = default;
    // False when the file cannot be written.
    bool open(const std::string& path);

    void frame(Direction direction, const protocol::Frame& frame);
    void stray_byte(uint8_t byte);

private:
    void write(const std::string& line);
    std::chrono::milliseconds since_start() const;

    struct CloseFile {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, CloseFile> file_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace plenvo::sim
