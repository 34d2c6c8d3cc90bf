// The receive path as the panel's poll drives it: bytes come in polls of any
// size at any interval; every completed frame is applied to the device state
// and shown on windows that may or may not be open, with the power in any
// state.
//
// The input is a run of polls, each:
//   flags   1 byte   bit 0: adjustment window open, bit 1: video window open,
//                    bit 2: a power byte follows, bit 3: the step takes 4 bytes
//   power   1 byte   (bit 2 only) power state the unit reported meanwhile
//   step    2 or 4 bytes, little-endian: milliseconds since the last poll
//   length  1 byte
//   bytes   `length` received bytes (fewer where the input ends)

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "fuzz_check.h"
#include "windows/window_tables.h"
#include "wire/protocol.h"
#include "wire/reply_assembler.h"

namespace {

using namespace plenvo;
using fuzz::require;
using protocol::Frame;
using tables::MirrorCall;
using tables::MirrorTarget;
using tables::OpenWindows;

// Close below the tick counter's wrap, so that ordinary steps cross it.
constexpr uint32_t kStartTick = 0xFFFFF000u;
// The main panel's indicators (power, inputs, outputs, bypass); the window
// toggles, port buttons, minimise and exit lie above.
constexpr int kLastIndicatorElement = 13;
constexpr int kVideoSliders = 6;

class Input {
public:
    explicit Input(std::span<const uint8_t> data) : data_(data) {}

    bool empty() const { return data_.empty(); }

    uint8_t byte()
    {
        if (data_.empty())
            return 0;
        const uint8_t b = data_.front();
        data_ = data_.subspan(1);
        return b;
    }

    uint32_t little_endian(int size)
    {
        uint32_t value = 0;
        for (int i = 0; i < size; ++i)
            value |= uint32_t(byte()) << (8 * i);
        return value;
    }

    std::span<const uint8_t> bytes(size_t count)
    {
        const std::span<const uint8_t> taken = data_.first(std::min(count, data_.size()));
        data_ = data_.subspan(taken.size());
        return taken;
    }

private:
    std::span<const uint8_t> data_;
};

// What the line guarantees: from the first byte on, and afresh after any
// pause longer than the assembler waits for a partial frame, bytes that
// follow each other without such a pause are frames, three by three.
class BackToBack {
public:
    // The frame that this byte must complete, if any.
    std::optional<Frame> expect(uint8_t byte, uint32_t now_ms)
    {
        if (uint32_t(now_ms - last_ms_) > ReplyAssembler::kStaleMs)
            run_ = 0;
        last_ms_ = now_ms;
        bytes_[run_ % protocol::kFrameSize] = byte;
        if (++run_ % protocol::kFrameSize != 0)
            return std::nullopt;
        return Frame{bytes_[0], bytes_[1], bytes_[2]};
    }

private:
    size_t run_ = 0;
    uint32_t last_ms_ = kStartTick;
    uint8_t bytes_[protocol::kFrameSize] = {};
};

// The first rule of the reply table whose letters the frame has.
const protocol::ReplyRule* rule_for(const Frame& frame)
{
    for (const protocol::ReplyRule& rule : protocol::kReplyTable)
        if (uint8_t(rule.first) == frame.first &&
            (rule.second == protocol::kAny || uint8_t(rule.second) == frame.second))
            return &rule;
    return nullptr;
}

void check_applied(const Frame& frame, const DeviceState& before, const DeviceState& after,
                   const protocol::AppliedReply& applied)
{
    const protocol::ReplyRule* rule = rule_for(frame);
    if (!rule) {
        require(after == before, "a frame the reply table does not know changed the state");
        require(applied.code == protocol::kNoCode && !applied.ok_reply,
                "a frame the reply table does not know got a reply code");
        return;
    }
    DeviceState expected = before;
    if (rule->kind == protocol::ReplyKind::Store)
        expected.*(rule->field) = frame.value;
    require(after == expected, "a reply changed something other than its own setting");
}

void check_settings(const DeviceState& s)
{
    for (const protocol::Command& setting : protocol::kStateReportOrder) {
        const int16_t value = s.*(setting.field);
        require(value >= 0 && value <= 255, "a setting left 0..255");
    }
}

bool mirrored_on_adjustment(int index)
{
    return std::any_of(tables::kMirrorTable.begin(), tables::kMirrorTable.end(),
                       [index](const tables::MirrorRule& rule) {
                           return rule.target == MirrorTarget::Adjustment && rule.index == index;
                       });
}

void check_mirror(const MirrorCall& call, const DeviceState& s, OpenWindows open)
{
    const bool power_on = s.power_state == 1;
    switch (call.target) {
    case MirrorTarget::None: return;
    case MirrorTarget::MainPanel:
        require(call.index >= 0 && call.index <= kLastIndicatorElement,
                "a report pressed a main panel element that is no indicator");
        return;
    case MirrorTarget::Adjustment:
        require(open.adj && power_on, "the adjustment window was drawn while closed or powered off");
        require(mirrored_on_adjustment(call.index), "the adjustment window was pressed on an index no report uses");
        return;
    case MirrorTarget::PcBypass:
        require(power_on && !open.adj, "the bypass button was drawn alone with the power off or the window open");
        return;
    case MirrorTarget::VideoScroll:
        require(open.video && power_on, "the video window was drawn while closed or powered off");
        require(call.index >= 0 && call.index < kVideoSliders, "a report moved a slider that does not exist");
        return;
    case MirrorTarget::VideoReset:
        require(open.video && power_on, "the video reset was mirrored while closed or powered off");
        return;
    }
    fuzz::broken("a mirror call of no known kind");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Input in({data, size});
    DeviceState state;
    state.set_start_up_values();
    ReplyAssembler assembler;
    BackToBack line;
    OpenWindows open;
    uint32_t now = kStartTick;

    while (!in.empty()) {
        const uint8_t flags = in.byte();
        open.adj = flags & 0x01;
        open.video = flags & 0x02;
        if (flags & 0x04)
            state.power_state = in.byte();
        now += in.little_endian(flags & 0x08 ? 4 : 2);
        const size_t length = in.byte();

        for (const uint8_t byte : in.bytes(length)) {
            const std::optional<Frame> expected = line.expect(byte, now);
            const std::optional<Frame> frame = assembler.feed(byte, now);
            require(frame || !expected, "a frame whose bytes came back to back was lost");
            require(expected || !frame, "a frame was made of bytes on either side of a pause");
            if (!frame)
                continue;
            require(*frame == *expected, "a frame whose bytes came back to back was split");

            const DeviceState before = state;
            const protocol::AppliedReply applied = protocol::apply_reply(*frame, state);
            check_applied(*frame, before, state, applied);
            check_settings(state);
            check_mirror(tables::mirror_call(applied.code, state, open), state, open);
        }
    }
    return 0;
}
