#pragma once

// The unit's serial protocol, as data: every frame the panel sends, every
// reply it understands and what each stores. The panel, the simulated unit
// and the fuzzers share it.
//
// A frame is three bytes in both directions: first letter, second letter
// (ASCII capitals), value 0..255. No header, checksum or terminator.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "wire/device_state.h"

namespace plenvo::protocol {

using Field = int16_t DeviceState::*;

struct Frame {
    uint8_t first = 0;
    uint8_t second = 0;
    uint8_t value = 0;
    bool operator==(const Frame&) const = default;
};

inline constexpr int kFrameSize = 3;
// Reply code of an unrecognised frame; as an input or output code it means
// "nothing selected".
inline constexpr int kNoCode = 99;
// Reply code of any frame whose first letter is R (the unit's reset report).
inline constexpr int kResetCode = 11;
// Stands for "any second letter" in the tables below.
inline constexpr char kAny = 0;

// ---------------------------------------------------------------- commands

// Every command the panel sends, with the setting whose value it carries.
// AL (state request) and RE (reset the picture settings) carry 0.
struct Command {
    char first;
    char second;
    Field field;  // nullptr: the value is always 0
};

inline constexpr Command kPW{'P', 'W', &DeviceState::power_state};
inline constexpr Command kIN{'I', 'N', &DeviceState::input_source};
inline constexpr Command kOU{'O', 'U', &DeviceState::output_format};
inline constexpr Command kAL{'A', 'L', nullptr};
inline constexpr Command kBY{'B', 'Y', &DeviceState::bypass_enabled};
inline constexpr Command kDI{'D', 'I', &DeviceState::adj_di};
inline constexpr Command kAS{'A', 'S', &DeviceState::adj_as};
inline constexpr Command kIR{'I', 'R', &DeviceState::adj_ir};
inline constexpr Command kFP{'F', 'P', &DeviceState::adj_fp};
inline constexpr Command kTD{'T', 'D', &DeviceState::adj_td};
inline constexpr Command kNR{'N', 'R', &DeviceState::adj_nr};
inline constexpr Command kOS{'O', 'S', &DeviceState::adj_os};
inline constexpr Command kBL{'B', 'L', &DeviceState::adj_bl};
inline constexpr Command kFR{'F', 'R', &DeviceState::adj_fr};
inline constexpr Command kBR{'B', 'R', &DeviceState::video_br};
inline constexpr Command kCO{'C', 'O', &DeviceState::video_co};
inline constexpr Command kSA{'S', 'A', &DeviceState::video_sa};
inline constexpr Command kSH{'S', 'H', &DeviceState::video_sh};
inline constexpr Command kTI{'T', 'I', &DeviceState::video_ti};
inline constexpr Command kVO{'V', 'O', &DeviceState::video_vo};
inline constexpr Command kRE{'R', 'E', nullptr};

// The settings a unit reports in answer to AL, in the order it sends them.
inline constexpr std::array kStateReportOrder{
    kPW, kIN, kOU, kBY, kDI, kAS, kIR, kFP, kTD, kNR,
    kOS, kBL, kFR, kBR, kCO, kSA, kSH, kTI, kVO,
};

// The command with these letters, or nullptr for letters the unit does not know.
const Command* find_command(uint8_t first, uint8_t second);

// The reply code that ends the wait for a command, looked up by its first
// letter and, where it matters, its second. Empty: the command is sent once
// and not waited for.
std::optional<int> awaited_code(uint8_t first, uint8_t second);

// ----------------------------------------------------------------- replies

enum class ReplyKind {
    Store,    // store the value in `field`, code `code`
    Ok,       // the unit asks to be asked for its state again (O K)
    NoStore,  // recognised letter, nothing stored, code `code`
};

struct ReplyRule {
    char first;
    char second;  // kAny matches any second letter
    ReplyKind kind;
    Field field;
    int code;
};

// Tried in order; the first rule whose letters match applies. A frame that
// matches none is unrecognised (kNoCode).
inline constexpr std::array kReplyTable{
    ReplyRule{'P', kAny, ReplyKind::Store, &DeviceState::power_state, 1},
    ReplyRule{'I', 'N', ReplyKind::Store, &DeviceState::input_source, 2},
    ReplyRule{'I', kAny, ReplyKind::Store, &DeviceState::adj_ir, 15},
    ReplyRule{'F', 'P', ReplyKind::Store, &DeviceState::adj_fp, 16},
    ReplyRule{'F', 'R', ReplyKind::Store, &DeviceState::adj_fr, 20},
    // F, A or B with a second letter the unit never sends: unrecognised, so
    // the value byte can never pose as a reply code.
    ReplyRule{'F', kAny, ReplyKind::NoStore, nullptr, kNoCode},
    ReplyRule{'A', 'S', ReplyKind::Store, &DeviceState::adj_as, 3},
    ReplyRule{'A', kAny, ReplyKind::NoStore, nullptr, kNoCode},
    ReplyRule{'O', 'U', ReplyKind::Store, &DeviceState::output_format, 4},
    ReplyRule{'O', 'K', ReplyKind::Ok, nullptr, kNoCode},
    ReplyRule{'O', kAny, ReplyKind::Store, &DeviceState::adj_os, 5},
    ReplyRule{'D', kAny, ReplyKind::Store, &DeviceState::adj_di, 12},
    ReplyRule{'B', 'R', ReplyKind::Store, &DeviceState::video_br, 6},
    ReplyRule{'B', 'Y', ReplyKind::Store, &DeviceState::bypass_enabled, 18},
    ReplyRule{'B', 'L', ReplyKind::Store, &DeviceState::adj_bl, 19},
    ReplyRule{'B', kAny, ReplyKind::NoStore, nullptr, kNoCode},
    ReplyRule{'C', kAny, ReplyKind::Store, &DeviceState::video_co, 7},
    ReplyRule{'S', 'A', ReplyKind::Store, &DeviceState::video_sa, 8},
    ReplyRule{'S', kAny, ReplyKind::Store, &DeviceState::video_sh, 9},
    ReplyRule{'T', 'I', ReplyKind::Store, &DeviceState::video_ti, 10},
    ReplyRule{'T', kAny, ReplyKind::Store, &DeviceState::adj_td, 13},
    ReplyRule{'R', kAny, ReplyKind::NoStore, nullptr, kResetCode},
    ReplyRule{'V', kAny, ReplyKind::Store, &DeviceState::video_vo, 17},
    ReplyRule{'N', kAny, ReplyKind::Store, &DeviceState::adj_nr, 14},
};

// The rule for a frame's letters, or nullptr when it is unrecognised.
const ReplyRule* find_reply_rule(uint8_t first, uint8_t second);

struct AppliedReply {
    int code = kNoCode;
    bool ok_reply = false;  // O K: the panel must ask for the state again
};

// Stores the frame's value where its letters say and returns its reply code.
AppliedReply apply_reply(const Frame& frame, DeviceState& into);

// ------------------------------------------------------------------ values

// The input code of the PC bypass, which the unit takes only while the
// bypass is allowed.
inline constexpr int kBypassInput = 4;
// The range of the six levels (BR, CO, SA, SH, TI, VO).
inline constexpr int kVideoMin = 0;
inline constexpr int kVideoMax = 63;

}  // namespace plenvo::protocol
