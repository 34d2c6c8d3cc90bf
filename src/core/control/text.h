#pragma once

// Small helpers for the text the control code reads: words on a line,
// names without regard to case, bytes that are not text.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plenvo::control {

// The words of a line, separated by blanks and tabs.
std::vector<std::string_view> words_of(std::string_view line);

// The word after words[at], if there is one.
std::optional<std::string_view> word_after(std::span<const std::string_view> words, size_t at);

// ASCII letters compared without regard to case.
bool same_word(std::string_view a, std::string_view b);

// Control bytes other than the tab, and DEL.
bool is_control_byte(char c);

std::string quoted(std::string_view word);

// The text of each item, with `separator` between them.
template <typename Items, typename Text>
std::string joined(const Items& items, std::string_view separator, Text text)
{
    std::string out;
    bool first = true;
    for (const auto& item : items) {
        if (!first)
            out += separator;
        out += text(item);
        first = false;
    }
    return out;
}

// "0x07": how an error names a byte that cannot be shown.
std::string byte_name(char c);

}  // namespace plenvo::control
