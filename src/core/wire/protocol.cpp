#include "wire/protocol.h"

#include <algorithm>

namespace plenvo::protocol {

namespace {

struct AwaitRule {
    char first;
    char second;  // kAny matches any second letter
    int code;     // kNoCode: nothing is awaited
};

// Tried in order; a first letter not listed awaits nothing.
constexpr std::array kAwaitTable{
    AwaitRule{'P', kAny, 1},
    AwaitRule{'I', 'N', 2},
    AwaitRule{'I', kAny, 15},
    AwaitRule{'A', 'S', 3},
    AwaitRule{'A', kAny, kNoCode},
    AwaitRule{'O', 'U', 4},
    AwaitRule{'O', kAny, 5},
    AwaitRule{'B', 'Y', 18},
    AwaitRule{'B', 'L', 19},
    AwaitRule{'B', kAny, kNoCode},
    AwaitRule{'T', 'D', 13},
    AwaitRule{'T', kAny, kNoCode},
    AwaitRule{'D', kAny, 12},
    AwaitRule{'N', kAny, 14},
    AwaitRule{'F', 'P', 16},
    AwaitRule{'F', 'R', 20},
    AwaitRule{'F', kAny, kNoCode},
};

constexpr std::array kAllCommands{
    kPW, kIN, kOU, kAL, kBY, kDI, kAS, kIR, kFP, kTD, kNR,
    kOS, kBL, kFR, kBR, kCO, kSA, kSH, kTI, kVO, kRE,
};

template <typename Rule>
bool letters_match(const Rule& rule, uint8_t first, uint8_t second)
{
    return uint8_t(rule.first) == first && (rule.second == kAny || uint8_t(rule.second) == second);
}

template <typename Table>
auto first_match(const Table& table, uint8_t first, uint8_t second)
{
    return std::find_if(table.begin(), table.end(),
                        [&](const auto& rule) { return letters_match(rule, first, second); });
}

}  // namespace

const Command* find_command(uint8_t first, uint8_t second)
{
    auto it = std::find_if(kAllCommands.begin(), kAllCommands.end(), [&](const Command& c) {
        return uint8_t(c.first) == first && uint8_t(c.second) == second;
    });
    return it == kAllCommands.end() ? nullptr : &*it;
}

std::optional<int> awaited_code(uint8_t first, uint8_t second)
{
    auto it = first_match(kAwaitTable, first, second);
    if (it == kAwaitTable.end() || it->code == kNoCode)
        return std::nullopt;
    return it->code;
}

const ReplyRule* find_reply_rule(uint8_t first, uint8_t second)
{
    auto it = first_match(kReplyTable, first, second);
    return it == kReplyTable.end() ? nullptr : &*it;
}

AppliedReply apply_reply(const Frame& frame, DeviceState& into)
{
    const ReplyRule* rule = find_reply_rule(frame.first, frame.second);
    if (!rule)
        return {};
    switch (rule->kind) {
    case ReplyKind::Store:
        into.*(rule->field) = frame.value;
        return {rule->code, false};
    case ReplyKind::Ok:
        return {kNoCode, true};
    case ReplyKind::NoStore:
        break;
    }
    return {rule->code, false};
}

}  // namespace plenvo::protocol
