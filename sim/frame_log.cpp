#include "sim/frame_log.h"

namespace plenvo::sim {

namespace {

// Letters that are not printable are shown as '?', so that every log line
// keeps its four blank-separated fields.
char shown_letter(uint8_t letter)
{
    return letter > ' ' && letter < 0x7f ? char(letter) : '?';
}

std::string log_line_start(std::chrono::milliseconds at, Direction direction)
{
    return std::to_string(at.count()) + (direction == Direction::Received ? " RX " : " TX ");
}

}  // namespace

std::string frame_log_line(std::chrono::milliseconds at, Direction direction,
                           const protocol::Frame& frame)
{
    return log_line_start(at, direction) + shown_letter(frame.first) + shown_letter(frame.second) +
           ' ' + std::to_string(frame.value);
}

std::string byte_log_line(std::chrono::milliseconds at, uint8_t byte)
{
    return log_line_start(at, Direction::Sent) + "byte " + std::to_string(byte);
}

bool FrameLog::open(const std::string& path)
{
    file_.reset(std::fopen(path.c_str(), "w"));
    return file_ != nullptr;
}

void FrameLog::frame(Direction direction, const protocol::Frame& frame)
{
    write(frame_log_line(since_start(), direction, frame));
}

void FrameLog::stray_byte(uint8_t byte)
{
    write(byte_log_line(since_start(), byte));
}

void FrameLog::write(const std::string& line)
{
    if (!file_)
        return;
    std::fputs(line.c_str(), file_.get());
    std::fputc('\n', file_.get());
    std::fflush(file_.get());
}

std::chrono::milliseconds FrameLog::since_start() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start_);
}

}  // namespace plenvo::sim
