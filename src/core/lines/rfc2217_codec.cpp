#include "lines/rfc2217_codec.h"

namespace plenvo {

using namespace telnet;

namespace {

// The options the panel's end takes part in; every other is refused.
struct Accepted {
    uint8_t code;
    bool ours;    // we may WILL it
    bool theirs;  // the server may WILL it
};

constexpr Accepted kAccepted[] = {
    {kBinary, true, true},           // frame values are 8-bit data both ways
    {kSuppressGoAhead, true, true},  // a full-duplex line: no turn-taking
    {kComPortOption, true, false},   // we set the far port; it sets nothing of ours
};

const Accepted* accepted(uint8_t code)
{
    for (const Accepted& option : kAccepted)
        if (option.code == code)
            return &option;
    return nullptr;
}

void push_escaped(Rfc2217Codec::Bytes& out, uint8_t byte)
{
    out.push_back(byte);
    if (byte == kIac)
        out.push_back(kIac);
}

void push_com_port_command(Rfc2217Codec::Bytes& out, uint8_t command, std::span<const uint8_t> value)
{
    out.insert(out.end(), {kIac, kSb, kComPortOption, command});
    for (const uint8_t byte : value)
        push_escaped(out, byte);
    out.insert(out.end(), {kIac, kSe});
}

}  // namespace

Rfc2217Codec::Bytes Rfc2217Codec::greeting()
{
    Bytes out;
    for (const Accepted& option : kAccepted) {
        if (option.ours) {
            out.insert(out.end(), {kIac, kWill, option.code});
            ours_[option.code].requested = true;
        }
        if (option.theirs) {
            out.insert(out.end(), {kIac, kDo, option.code});
            theirs_[option.code].requested = true;
        }
    }
    return out;
}

Rfc2217Codec::Bytes Rfc2217Codec::encode(std::span<const uint8_t> data)
{
    Bytes out;
    out.reserve(data.size());
    for (const uint8_t byte : data)
        push_escaped(out, byte);
    return out;
}

void Rfc2217Codec::decode(std::span<const uint8_t> bytes, Decoded& out)
{
    for (const uint8_t byte : bytes)
        step(byte, out);
}

void Rfc2217Codec::step(uint8_t byte, Decoded& out)
{
    switch (state_) {
    case State::Data:
        if (byte == kIac)
            state_ = State::Command;
        else
            out.data.push_back(byte);
        break;
    case State::Command:
        command(byte, out);
        break;
    case State::Option:
        option(verb_, byte, out.replies);
        state_ = State::Data;
        break;
    // The server's subnegotiations (its answers to our settings, line and
    // modem state notices, signatures) tell the panel nothing it uses.
    case State::Sub:
        if (byte == kIac)
            state_ = State::SubIac;
        break;
    case State::SubIac:
        if (byte == kIac)
            state_ = State::Sub;
        else if (byte == kSe)
            state_ = State::Data;
        else
            command(byte, out);  // a command without IAC SE ends the subnegotiation
        break;
    }
}

void Rfc2217Codec::command(uint8_t byte, Decoded& out)
{
    state_ = State::Data;
    if (byte == kIac) {
        out.data.push_back(kIac);
    } else if (byte >= kWill && byte <= kDont) {
        verb_ = byte;
        state_ = State::Option;
    } else if (byte == kSb) {
        state_ = State::Sub;
    }
    // Any other command (no-op, go ahead, data mark, ...) carries no data.
}

void Rfc2217Codec::option(uint8_t verb, uint8_t code, Bytes& replies)
{
    const Accepted* known = accepted(code);
    switch (verb) {
    case kWill:
    case kWont:
        negotiate(theirs_[code], known && known->theirs, verb == kWill, code, kDo, kDont, replies);
        break;
    case kDo:
    case kDont: {
        const bool was_enabled = ours_[code].enabled;
        negotiate(ours_[code], known && known->ours, verb == kDo, code, kWill, kWont, replies);
        if (code == kComPortOption && !was_enabled && ours_[code].enabled)
            send_settings(replies);
        break;
    }
    }
}

// Answers a request to switch one side of an option on or off. A request
// for the state the side is in already goes unanswered, and an answer to
// our own request is not answered back, so the two ends never loop.
void Rfc2217Codec::negotiate(Side& side, bool allowed, bool enable, uint8_t code, uint8_t yes, uint8_t no,
                             Bytes& replies)
{
    if (enable && !side.enabled) {
        if (!allowed) {
            replies.insert(replies.end(), {kIac, no, code});
        } else {
            side.enabled = true;
            if (!side.requested)
                replies.insert(replies.end(), {kIac, yes, code});
        }
    } else if (!enable && side.enabled) {
        side.enabled = false;
        replies.insert(replies.end(), {kIac, no, code});
    }
    side.requested = false;
}

void Rfc2217Codec::send_settings(Bytes& replies) const
{
    const uint32_t baud = settings_.baud;
    const uint8_t baud_bytes[] = {uint8_t(baud >> 24), uint8_t(baud >> 16), uint8_t(baud >> 8), uint8_t(baud)};
    // Parity codes run none, odd, even, mark, space from 1, as Parity does from 0.
    const uint8_t parity = uint8_t(settings_.parity) + 1;
    // The unit has no handshake lines: the far port must not wait for any.
    const uint8_t no_flow_control = kNoFlowControl;
    push_com_port_command(replies, kSetBaudRate, baud_bytes);
    push_com_port_command(replies, kSetDataSize, std::span(&settings_.data_bits, 1));
    push_com_port_command(replies, kSetParity, std::span(&parity, 1));
    push_com_port_command(replies, kSetStopSize, std::span(&settings_.stop_bits, 1));
    push_com_port_command(replies, kSetControl, std::span(&no_flow_control, 1));
}

}  // namespace plenvo
