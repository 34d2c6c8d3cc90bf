#include "wire/reply_assembler.h"

namespace plenvo {

std::optional<protocol::Frame> ReplyAssembler::feed(uint8_t byte, uint32_t now_ms)
{
    if (rx_count > 0 && uint32_t(now_ms - last_byte_ms_) > kStaleMs)
        rx_count = 0;
    last_byte_ms_ = now_ms;
    rx_buf[size_t(rx_count)] = byte;
    if (++rx_count < protocol::kFrameSize)
        return std::nullopt;
    rx_count = 0;
    return protocol::Frame{rx_buf[0], rx_buf[1], rx_buf[2]};
}

}  // namespace plenvo
