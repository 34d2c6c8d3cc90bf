#include "control/text.h"

#include <algorithm>
#include <cstdio>

namespace plenvo::control {

namespace {

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

}  // namespace

std::vector<std::string_view> words_of(std::string_view line)
{
    std::vector<std::string_view> words;
    auto at = line.begin();
    while (true) {
        at = std::find_if_not(at, line.end(), is_blank);
        if (at == line.end())
            return words;
        const auto end = std::find_if(at, line.end(), is_blank);
        words.emplace_back(at, end);
        at = end;
    }
}

std::optional<std::string_view> word_after(std::span<const std::string_view> words, size_t at)
{
    return at + 1 < words.size() ? std::optional(words[at + 1]) : std::nullopt;
}

bool same_word(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return lower(x) == lower(y); });
}

bool is_control_byte(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t') || byte == 0x7F;
}

std::string quoted(std::string_view word)
{
    return '"' + std::string(word) + '"';
}

std::string byte_name(char c)
{
    char name[5];
    std::snprintf(name, sizeof name, "0x%02X", unsigned(static_cast<unsigned char>(c)));
    return name;
}

}  // namespace plenvo::control
