#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "wire/protocol.h"

namespace plenvo {

// Groups received bytes into three-byte reply frames. The unit sends a
// frame's bytes back to back, so a partial frame that has waited longer
// than kStaleMs for its next byte is a stray or broken one: it is dropped
// before that byte is stored, and the grouping is right again.
class ReplyAssembler {
public:
    static constexpr uint32_t kStaleMs = 500;

    // `now_ms` is the wrapping tick count at which the byte was read.
    std::optional<protocol::Frame> feed(uint8_t byte, uint32_t now_ms);
    void clear() { rx_count = 0; }

    int rx_count = 0;
    std::array<uint8_t, protocol::kFrameSize> rx_buf{};

private:
    uint32_t last_byte_ms_ = 0;
};

}  // namespace plenvo
