#pragma once

// The Telnet side of a serial port served over the network (RFC 854/855
// Telnet with the RFC 2217 COM port control option), as the panel's end
// speaks it: bytes from the server in, the unit's data bytes and the answers
// owed to the server out. No socket here, so every byte can be checked.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "lines/line_settings.h"

namespace plenvo {

namespace telnet {
inline constexpr uint8_t kSe = 240;
inline constexpr uint8_t kSb = 250;
inline constexpr uint8_t kWill = 251;
inline constexpr uint8_t kWont = 252;
inline constexpr uint8_t kDo = 253;
inline constexpr uint8_t kDont = 254;
inline constexpr uint8_t kIac = 255;

inline constexpr uint8_t kBinary = 0;
inline constexpr uint8_t kEcho = 1;
inline constexpr uint8_t kSuppressGoAhead = 3;
inline constexpr uint8_t kComPortOption = 44;

// COM port option commands from the client; the server's answers add 100.
inline constexpr uint8_t kSetBaudRate = 1;
inline constexpr uint8_t kSetDataSize = 2;
inline constexpr uint8_t kSetParity = 3;
inline constexpr uint8_t kSetStopSize = 4;
inline constexpr uint8_t kSetControl = 5;
inline constexpr uint8_t kNoFlowControl = 1;
}  // namespace telnet

class Rfc2217Codec {
public:
    using Bytes = std::vector<uint8_t>;

    // `settings` is what the far port is set to once the server takes COM
    // port commands.
    explicit Rfc2217Codec(const LineSettings& settings) : settings_(settings) {}

    // What the client says as soon as it is connected: the options it
    // wants. Data may follow at once; nothing waits for the answers.
    Bytes greeting();

    // The unit's bytes as they go on the wire (0xFF doubled).
    static Bytes encode(std::span<const uint8_t> data);

    struct Decoded {
        Bytes data;     // the unit's bytes
        Bytes replies;  // owed to the server, to send as they are
    };
    // Takes bytes from the server in any pieces; a command split between
    // two calls is completed by the second.
    void decode(std::span<const uint8_t> bytes, Decoded& out);

private:
    enum class State { Data, Command, Option, Sub, SubIac };

    // One side of an option: ours (we WILL) or the server's (it WILLs).
    struct Side {
        bool enabled = false;
        bool requested = false;
    };

    void step(uint8_t byte, Decoded& out);
    void command(uint8_t byte, Decoded& out);
    void option(uint8_t verb, uint8_t code, Bytes& replies);
    void negotiate(Side& side, bool allowed, bool enable, uint8_t code, uint8_t yes, uint8_t no,
                   Bytes& replies);
    void send_settings(Bytes& replies) const;

    LineSettings settings_;
    State state_ = State::Data;
    uint8_t verb_ = 0;
    std::array<Side, 256> ours_{};
    std::array<Side, 256> theirs_{};
};

}  // namespace plenvo
